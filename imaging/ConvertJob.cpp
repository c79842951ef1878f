#include "ConvertJob.h"

#include "Picture.h"
#include "core/PathText.h"

#include <QFile>

#include <thread>

namespace corvane::imaging {

EncodeOptions ConvertOptions(PictureFormat format, ColorChoice colors, int jpegQuality)
{
    EncodeOptions o;  // 8 bits per sample, 1 sample per pixel
    switch (format) {
    case PictureFormat::Bmp:
    case PictureFormat::Pcx:
    case PictureFormat::Png:
        if (colors == ColorChoice::Colors16M)
            o.samplesPerPixel = 3;
        else if (colors == ColorChoice::Colors16 && format != PictureFormat::Png)
            o.colors = 16;
        break;
    case PictureFormat::Gif: {
        static constexpr int kBits[] = {2, 3, 4, 8};
        const int c = std::min(int(colors), 3);
        o.bitsPerSample = kBits[c];
        break;
    }
    case PictureFormat::Jpeg:
        o.samplesPerPixel = 3;
        o.jpegQuality = std::clamp(jpegQuality, 0, 100);
        break;
    case PictureFormat::Tiff:
        o.lzw = true;
        if (colors == ColorChoice::Colors16)
            o.colors = 16;
        else if (colors == ColorChoice::Colors256)
            o.colors = 256;
        else if (colors == ColorChoice::Colors16M)
            o.samplesPerPixel = 3;  // true colour stays true colour, as in the other formats
        break;
    }
    return o;
}

QString ConvertTarget(const QString& destFolder, const QString& sourceName, PictureFormat format)
{
    const QString name = sourceName.mid(sourceName.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot < 0 ? name + u'.' : name.left(dot + 1);
    return core::JoinPath(destFolder, stem + FormatExtension(format));
}

bool ConvertFile(const QString& source, const QString& target, PictureFormat format, const EncodeOptions& options)
{
    const Picture picture = LoadPicture(source);
    if (picture.isNull())
        return false;
    const QByteArray bytes = EncodePicture(picture.image, format, options);
    return !bytes.isEmpty() && WriteFileAtomically(target, bytes);
}

ConvertJob::ConvertJob(ConvertInput input, QObject* parent)
    : core::Job(parent)
    , m_input(std::move(input))
    , m_options(ConvertOptions(m_input.format, m_input.colors, m_input.jpegQuality))
    , m_outcomes(size_t(m_input.names.size()), Outcome::NotDone)
{
}

QString ConvertJob::SourcePath(int i) const
{
    return core::JoinPath(m_input.sourceFolder, m_input.names.value(i));
}

std::vector<ConvertJob::Outcome> ConvertJob::Outcomes() const
{
    std::lock_guard lock(resultMutex());
    return m_outcomes;
}

void ConvertJob::execute()
{
    {
        std::lock_guard lock(m_progressMutex);
        addTotals(0, m_input.names.size());
        publishNow();
    }
    // A second worker only when there is a second file; each takes the next file in list order.
    std::thread helper;
    if (m_input.names.size() > 1 && std::thread::hardware_concurrency() > 1)
        helper = std::thread([this] { work(); });
    work();
    if (helper.joinable())
        helper.join();
    std::lock_guard lock(m_progressMutex);
    publishNow();
}

void ConvertJob::work()
{
    for (;;) {
        // Cancel stops before the next file: the one being written is finished, never cut off.
        if (isCancelled())
            return;
        const int i = m_next.fetch_add(1);
        if (i >= m_input.names.size())
            return;
        const QString source = SourcePath(i);
        {
            std::lock_guard lock(m_progressMutex);
            setCurrentFile(QFile::encodeName(source));
            setText(source);
            publishNow();
        }
        const bool ok = ConvertFile(source, ConvertTarget(m_input.destFolder, m_input.names[i], m_input.format),
                                    m_input.format, m_options);
        {
            std::lock_guard lock(resultMutex());
            m_outcomes[size_t(i)] = ok ? Outcome::Converted : Outcome::Failed;
        }
        std::lock_guard lock(m_progressMutex);
        addDone(0, 1);
        publishIfDue();
    }
}

} // namespace corvane::imaging
