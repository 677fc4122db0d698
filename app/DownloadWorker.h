#pragma once
// Saves every picture of the post last discovered into the chosen folder, numbered in
// page order, on a thread of its own.

#include "app/runtime/TextList.h"

// What one download works on: its own copy of the list and the folder, taken when the
// start button is pressed, so that a new discovery or a new folder during a download
// affects the next download only.
struct DownloadJob {
    TextList pictures;
    Text folder;
};

// Starts a download of `job` on a new thread unless one is still running; returns
// whether it started.
bool StartDownload(DownloadJob job);

// Whether a download is running now.
bool DownloadRunning();

// The thread routine: takes the job StartDownload left for it.
void DownloadWorker();

// The file picture `number` of a download into `folder` is saved as.
Text PicturePath(TextView folder, int number);
