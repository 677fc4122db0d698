#include "app/DownloadWorker.h"

#include "app/Globals.h"
#include "app/Strings.h"
#include "app/runtime/Files.h"
#include "app/runtime/HttpFile.h"
#include "app/runtime/Threads.h"

#include <atomic>
#include <mutex>
#include <optional>

namespace {

std::atomic<bool> running{false};
std::mutex pendingGuard;
std::optional<DownloadJob> pending;

std::optional<DownloadJob> TakePendingJob() {
    std::lock_guard lock(pendingGuard);
    std::optional<DownloadJob> job = std::move(pending);
    pending.reset();
    return job;
}

}  // namespace

Text PicturePath(TextView folder, int number) {
    // Nothing is inserted or removed: the desktop folder already ends with a backslash,
    // and the doubled backslash that gives is a path the file system accepts.
    return Text(folder) + "\\" + NumberToText(number) + ".jpg";
}

bool DownloadRunning() { return running.load(); }

bool StartDownload(DownloadJob job) {
    if (running.exchange(true)) return false;
    {
        std::lock_guard lock(pendingGuard);
        pending = std::move(job);
    }
    if (!StartThread(DownloadWorker)) {
        TakePendingJob();
        running = false;
        return false;
    }
    return true;
}

void DownloadWorker() {
    std::optional<DownloadJob> job = TakePendingJob();
    if (!job) {
        running = false;
        return;
    }
    Control status = MainWindow["标签3"];
    Control progress = MainWindow["进度条1"];
    int count = job->pictures.Count();
    int failed = 0;
    for (int i = 1; i <= count; ++i) {
        status.SetText(Strings::DownloadStarted + NumberToText(i) + "/" + NumberToText(count));
        Text path = PicturePath(job->folder, i);
        HttpFile picture = ReadHttpFile(job->pictures.At(i));
        // A picture that did not arrive whole from a successful response is a failure:
        // no file is written for it, and an earlier file of that number stays.
        if (!picture.Succeeded() || !ReplaceFileWithBytes(path, picture.body)) ++failed;
        progress.SetProgressPosition(static_cast<int>(static_cast<double>(i) / count * 100));
    }
    MainWindow["高级选择夹1"].SetCurrentPage(0);
    Text finished = Strings::DownloadFinished;
    if (failed > 0) finished += Strings::DownloadFailedCount + NumberToText(failed);
    status.SetText(finished);
    running = false;
}
