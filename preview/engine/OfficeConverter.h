#pragma once
// Word-processor documents converted to rich text by LibreOffice running headless. One office
// process is started on the first conversion and kept for the next ones; a small UNO client
// (python3 with its uno module) hands it each document. Conversions run one at a time.
// Everything here may block and runs on workers; Quit never waits.
#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>

#include <sys/types.h>

namespace corvane::preview {

class TOfficeConverter
{
public:
    TOfficeConverter();
    // Stops the office, without waiting for it.
    ~TOfficeConverter();
    TOfficeConverter(const TOfficeConverter&) = delete;
    TOfficeConverter& operator=(const TOfficeConverter&) = delete;

    // The office program (default "soffice" on the search path), its profile folder (default
    // "corvane/office" in the user's cache folder) and the limit for starting it and for each
    // conversion.
    void SetOfficeProgram(const QString& program);
    void SetProfileFolder(const QString& folder);
    void SetTimeLimit(std::chrono::milliseconds limit);

    // Writes `source` as rich text to `target`. Waits for a conversion already running; gives up
    // while it waits once `cancel` is set. A conversion that outlasts the limit stops the office,
    // which starts again for the next document.
    bool Convert(const QString& source, const QString& target, const std::atomic<bool>& cancel);

    // The office process of the last start while it runs, else 0.
    pid_t OfficePid() const;
    // Stops the office and refuses later conversions.
    void Quit();

private:
    std::chrono::milliseconds limit() const;
    bool ensureRunning(std::chrono::steady_clock::time_point deadline);
    bool startProcesses();
    // Kills both processes (gently for a quit) and reaps them on a thread of their own.
    void stopProcesses(bool gently);
    bool readLine(QByteArray& line, std::chrono::steady_clock::time_point deadline);

    // Held for the whole of a conversion.
    std::timed_mutex m_busy;
    // Guards the settings and the process state below; never held while waiting.
    mutable std::mutex m_state;
    QString m_program;
    QString m_profile;
    std::chrono::milliseconds m_limit{30000};
    pid_t m_office = 0;
    pid_t m_client = 0;
    int m_channel = -1;
    bool m_ready = false;
    bool m_quit = false;
    QByteArray m_buffer;
};

} // namespace corvane::preview
