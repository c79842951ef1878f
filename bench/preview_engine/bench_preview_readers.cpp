// The preview's readers on 1 MB files: rich text as word processors write it, a document that
// is mostly a picture, and plain text in UTF-8 and Windows-1252. The user waits for these while
// walking through a folder, so each must stay far below a second.
//
//   build/bench/bench_preview_readers
#include "preview/engine/RtfReader.h"
#include "preview/engine/TextView.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

constexpr qsizetype kSize = 1 << 20;

// Paragraphs of short runs in two fonts and colours, with hex and \u characters, as LibreOffice
// and Word write them.
QByteArray WordProcessorRtf()
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Liberation Serif;}"
                     "{\\f1\\fswiss\\fcharset0 DejaVu Sans;}}{\\colortbl;\\red192\\green0\\blue0;"
                     "\\red0\\green0\\blue192;}\n";
    int n = 0;
    while (rtf.size() < kSize) {
        rtf += "\\pard\\plain\\qj\\f0\\fs24 Paragraph " + QByteArray::number(n++)
             + " with {\\b bold} and {\\i\\cf1 red italic} words, caf\\'e9 and \\u8364\\'80 sums; "
               "{\\f1\\fs20\\cf2 some sans text in blue} and plain text to the end of the line.\\par\n";
    }
    return rtf + "}";
}

// A short text around a 1 MB picture in hex, which the reader skips.
QByteArray PictureRtf()
{
    QByteArray rtf = "{\\rtf1\\ansi Before{\\pict\\pngblip\\picw100\\pich100\n";
    while (rtf.size() < kSize)
        rtf += "89504e470d0a1a0a0000000d494844520000006400000064080200000000000000000000000000\n";
    return rtf + "}after}";
}

// The worst cases for the document: a paragraph, or a change of format, every few bytes.
QByteArray Repeated(const QByteArray& body, const QByteArray& header = "\\ansi ")
{
    QByteArray rtf = "{\\rtf1" + header;
    while (rtf.size() < kSize)
        rtf += body;
    return rtf + "}";
}

QByteArray PlainText(const QByteArray& line)
{
    QByteArray text;
    while (text.size() < kSize)
        text += line;
    return text;
}

void BM_ReadRtf(benchmark::State& state, const QByteArray& rtf)
{
    for (auto _ : state) {
        QTextDocument doc;
        corvane::preview::ReadRtf(rtf, doc);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

// Reading and laying out at a preview's width, as the viewer shows it.
void BM_ReadRtfAndLayOut(benchmark::State& state)
{
    const QByteArray rtf = WordProcessorRtf();
    for (auto _ : state) {
        QTextDocument doc;
        corvane::preview::ReadRtf(rtf, doc);
        doc.setTextWidth(600);
        benchmark::DoNotOptimize(doc.documentLayout()->documentSize());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
}

void BM_DecodePlainText(benchmark::State& state, const QByteArray& text)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(corvane::preview::DecodePlainText(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_FilteredText(benchmark::State& state)
{
    const QByteArray bytes = PlainText(QByteArray("MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFFtext\r\n", 20));
    for (auto _ : state)
        benchmark::DoNotOptimize(corvane::preview::FilteredText(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::RegisterBenchmark("ReadRtf/word_processor_1MB", BM_ReadRtf, WordProcessorRtf())->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ReadRtf/picture_1MB", BM_ReadRtf, PictureRtf())->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ReadRtf/paragraphs_1MB", BM_ReadRtf, Repeated("\\par "))->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ReadRtf/format_changes_1MB", BM_ReadRtf, Repeated("{\\b a}{\\i b}"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ReadRtf/shift_jis_1MB", BM_ReadRtf, Repeated("\\'82\\'a0\\'83A", "\\ansi\\ansicpg932 "))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ReadRtfAndLayOut/word_processor_1MB", BM_ReadRtfAndLayOut)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DecodePlainText/utf8_1MB", BM_DecodePlainText,
                                 PlainText("Grüße, café and plain ASCII text on a line of its own.\n"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("DecodePlainText/windows1252_1MB", BM_DecodePlainText,
                                 PlainText("Gr\xFC\xDF" "e, caf\xE9 and plain ASCII text on a line of its own.\n"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FilteredText/binary_1MB", BM_FilteredText)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
