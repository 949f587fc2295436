// Resource ids of the updater, shared by update.rc and the code.
#ifndef FRONT_RESOURCE_H
#define FRONT_RESOURCE_H

#define IDD_UPDATE 101
#define IDC_VERSION 1000
#define IDC_FOLDER 1001

#endif
