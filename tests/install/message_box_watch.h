// The message boxes that code under test shows, each answered with OK.
//
// Natively the host layer records them and answers at once. On Windows a real modal box
// appears: a watcher thread finds each one of this process, reads its caption and text, and
// presses OK, so the same test runs unattended on both.
#ifndef TESTS_INSTALL_MESSAGE_BOX_WATCH_H
#define TESTS_INSTALL_MESSAGE_BOX_WATCH_H

#include <string>
#include <vector>

struct ShownMessageBox {
    std::string caption;
    std::string text;
};

// Starts watching for message boxes when created; shown() gives those seen since.
class MessageBoxWatch {
public:
    MessageBoxWatch();
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    std::vector<ShownMessageBox> shown() const;

    // What each build keeps: defined beside its implementation.
    struct State;

private:
    State* state_;
};

#endif
