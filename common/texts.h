// Texts used by more than one part of the updater, in code page 932.
#ifndef COMMON_TEXTS_H
#define COMMON_TEXTS_H

// The dialog's title and the caption of every message box but the write-error report.
#define UPDATER_CAPTION "ぴこぺこらんど アップデート Ver 1.01"

#endif
