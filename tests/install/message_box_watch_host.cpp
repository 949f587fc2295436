#include "message_box_watch.h"

#include "host_control.h"

struct MessageBoxWatch::State {
    size_t alreadyShown;
};

MessageBoxWatch::MessageBoxWatch() : state_(new State{hostMessageBoxes().size()}) {}

MessageBoxWatch::~MessageBoxWatch()
{
    delete state_;
}

std::vector<ShownMessageBox> MessageBoxWatch::shown() const
{
    std::vector<ShownMessageBox> result;
    const std::vector<HostMessageBox>& boxes = hostMessageBoxes();
    for (size_t i = state_->alreadyShown; i < boxes.size(); ++i)
        result.push_back({boxes[i].caption, boxes[i].text});
    return result;
}
