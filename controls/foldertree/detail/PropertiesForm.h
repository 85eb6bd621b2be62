// The properties window of one or more items: name, type, location, size
// (a folder's contents counted on request, on a thread of its own, and
// stoppable), modification time, owner, permissions, and the file system
// that holds the first item with its free space. It stays open beside the
// window that showed it and deletes itself when closed.
#pragma once

#include "platform/FolderSize.h"

#include <QDialog>
#include <QMutex>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QThread;
class QTimer;

namespace Ui {
class PropertiesForm;
}

class TPropertiesForm : public QDialog
{
    Q_OBJECT
public:
    // `paths` and `names` (as the folder shows them) pair up; at least one.
    TPropertiesForm(std::vector<std::string> paths, const std::vector<std::string> &names, QWidget *parent);
    ~TPropertiesForm() override;

    // Counting on request, as the Count and Stop buttons do.
    void StartCount();
    void StopCount();
    bool Counting() const { return m_thread != nullptr; }

private:
    // What the counting thread has reached; read by the window under the lock.
    struct TCount {
        QMutex lock;
        TFolderTotals totals;
        std::atomic<bool> stop {false};
        bool complete = false;
    };

    // The counting thread's work: the contents of a single folder, or
    // several items and what their folders hold.
    static void CountItems(TCount &count, const std::vector<std::string> &paths);
    void ShowTotals();
    void CountFinished();

    std::unique_ptr<Ui::PropertiesForm> ui;
    const std::vector<std::string> m_paths;
    std::shared_ptr<TCount> m_count;
    QThread *m_thread = nullptr;
    QTimer *m_showTimer = nullptr;
};
