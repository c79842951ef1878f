#pragma once
// Converting a list of pictures into one format, as a job: each file is read (decoder by
// extension), reduced as its colour choice asks, and written beside the others in a destination
// folder under its own base name. Two files are worked on at once.
#include "Encode.h"
#include "core/Job.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvane::imaging {

// The colour choices of the conversion dialog, in its order.
enum class ColorChoice { Colors4 = 0, Colors8 = 1, Colors16 = 2, Colors256 = 3, Colors16M = 4 };

// The layout written for a format and colour choice.
EncodeOptions ConvertOptions(PictureFormat format, ColorChoice colors, int jpegQuality);
// The target of `sourceName` in `destFolder`: the name up to and including its last dot, then the
// format's extension in capitals (a.bmp -> a.JPG, photo.old.tif -> photo.old.PNG).
QString ConvertTarget(const QString& destFolder, const QString& sourceName, PictureFormat format);
// Reads, converts and writes one file; false with nothing written under the target on failure.
bool ConvertFile(const QString& source, const QString& target, PictureFormat format, const EncodeOptions& options);

struct ConvertInput {
    QString sourceFolder;
    QStringList names;  // in the order they are converted and reported
    QString destFolder;
    PictureFormat format = PictureFormat::Bmp;
    ColorChoice colors = ColorChoice::Colors16M;
    int jpegQuality = 100;
};

class ConvertJob : public core::Job
{
    Q_OBJECT
public:
    enum class Outcome { NotDone, Converted, Failed };

    explicit ConvertJob(ConvertInput input, QObject* parent = nullptr);

    const ConvertInput& Input() const { return m_input; }
    // The source path of entry i, as the messages name it.
    QString SourcePath(int i) const;
    // Per entry of the input's names; final once finished() has come.
    std::vector<Outcome> Outcomes() const;

protected:
    void execute() override;

private:
    void work();

    ConvertInput m_input;
    EncodeOptions m_options;
    std::atomic<int> m_next{0};
    std::mutex m_progressMutex;  // the two workers publish through one set of counters
    std::vector<Outcome> m_outcomes;  // guarded by resultMutex()
};

} // namespace corvane::imaging
