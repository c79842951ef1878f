// .xls workbooks through FreeXL: the first worksheet's cells as text.
#include "Sheet.h"
#include "SheetBuild.h"

#include "core/UniqueFd.h"

#include <freexl.h>

#include <sys/mman.h>
#include <unistd.h>

namespace corvane::preview {

namespace sheet {

namespace {

struct FreeXlHandle {
    const void* handle = nullptr;
    ~FreeXlHandle()
    {
        // FreeXL wants its handle closed after a failed open too.
        if (handle)
            freexl_close(handle);
    }
};

QString cellText(const FreeXL_CellValue& value, bool& number)
{
    number = true;
    switch (value.type) {
    case FREEXL_CELL_INT:
        return FormatNumber(value.value.int_value, {}, false);
    case FREEXL_CELL_DOUBLE:
        return FormatNumber(value.value.double_value, {}, false);
    case FREEXL_CELL_DATE:
        return DateText(QDate::fromString(QString::fromUtf8(value.value.text_value), Qt::ISODate));
    case FREEXL_CELL_DATETIME:
        return DateTimeText(QDateTime::fromString(QString::fromUtf8(value.value.text_value), u"yyyy-MM-dd HH:mm:ss"));
    case FREEXL_CELL_TIME: {
        const QTime time = QTime::fromString(QString::fromUtf8(value.value.text_value), u"HH:mm:ss");
        return TimeText(time, time.second() != 0);
    }
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        number = false;
        return value.value.text_value ? QString::fromUtf8(value.value.text_value) : QString();
    default:
        number = false;
        return {};
    }
}

} // namespace

std::optional<TSheet> ReadXls(int fd, const std::atomic<bool>* cancel)
{
    // FreeXL opens by name: the very file checked by the caller, through its descriptor.
    const QByteArray path = "/proc/self/fd/" + QByteArray::number(fd);
    FreeXlHandle xls;
    if (freexl_open(path.constData(), &xls.handle) != FREEXL_OK || !xls.handle)
        return std::nullopt;
    unsigned int sheets = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0)
        return std::nullopt;
    if (freexl_select_active_worksheet(xls.handle, 0) != FREEXL_OK)
        return std::nullopt;
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(xls.handle, &rows, &columns) != FREEXL_OK)
        return std::nullopt;
    TSheetBuilder builder(cancel);
    for (unsigned int r = 0; r < rows && r < unsigned(kSheetMaxRows) && !builder.full(); ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value {};
            if (freexl_get_cell_value(xls.handle, r, c, &value) != FREEXL_OK)
                continue;
            bool number = false;
            QString text = cellText(value, number);
            if (!builder.add(int(r), int(c), std::move(text), number))
                break;
        }
    }
    if (builder.cancelled())
        return std::nullopt;
    return builder.finish();
}

std::optional<TSheet> ReadXlsBytes(const QByteArray& bytes, const std::atomic<bool>* cancel)
{
    core::UniqueFd fd(::memfd_create("corvane-sheet", MFD_CLOEXEC));
    if (!fd)
        return std::nullopt;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return ReadXls(fd.get(), cancel);
}

} // namespace sheet

} // namespace corvane::preview
