#include "ZipComponent.h"

#include "ZipTexts.h"
#include "core/NameCodec.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <optional>

namespace corvane::zip {

using core::Text;

QString TZipComponent::MessageText(int number, int arg)
{
    for (const ZipMessageText& m : kZipMessages) {
        if (m.number == number) {
            QString text = Text(m.text);
            text.replace(QLatin1String("%d"), QString::number(arg));
            return text;
        }
    }
    return Text(kMissingMessage) + QString::number(number);
}

namespace {

bool IsExeName(const QString& name)
{
    return name.endsWith(QLatin1String(".EXE"), Qt::CaseInsensitive);
}

} // namespace

void TZipComponent::GiveMessage(int number, int arg, bool show)
{
    Say(number, MessageText(number, arg), show);
}

void TZipComponent::GiveOutcome(const SpanOutcome& o)
{
    // A Cancel answer ends the run without a box.
    const int arg = o.message == 11038 ? o.arg.toInt() : 0;
    QString text = MessageText(o.message, arg);
    text.replace(QLatin1String("%s"), o.arg);
    Say(o.message, text, o.message != 11007);
}

void TZipComponent::Say(int number, const QString& text, bool show)
{
    m_errCode = number;
    m_message = text;
    if (show && !Unattended && ShowMessage)
        ShowMessage(m_message);
    if (OnMessage)
        OnMessage(this, 0, m_message);
}

void TZipComponent::SetZipFilename(const QString& name)
{
    m_zipFilename = name;
    ListArchive();
}

void TZipComponent::ListArchive()
{
    m_errCode = 0;
    m_message.clear();
    m_entries.clear();
    m_comment.clear();
    if (m_zipFilename.isEmpty() || !QFileInfo::exists(m_zipFilename)) {
        if (OnDirUpdate)
            OnDirUpdate(this);
        return;
    }
    m_spanned = false;
    ZipListing listing = ReadZipDirectoryFile(m_zipFilename);
    if (listing.spanned) {
        // The directory may start on an earlier part.
        m_spanned = true;
        if (listing.failed)
            listing = ListSpannedSet(m_zipFilename);
    }
    for (const ZipListMessage& m : listing.messages)
        GiveMessage(m.number, m.arg);
    if (listing.failed) {
        m_zipFilename.clear();
    } else {
        m_entries = std::move(listing.entries);
        m_comment = listing.comment;
    }
    if (OnDirUpdate)
        OnDirUpdate(this);
}

SpanParams TZipComponent::SpanSettings()
{
    SpanParams s;
    s.maxVolumeSize = MaxVolumeSize;
    s.minFreeVolumeSize = MinFreeVolumeSize;
    s.keepFreeOnDisk1 = KeepFreeOnDisk1;
    s.unattended = Unattended;
    s.verbose = Verbose;
    s.cancelled = [this] { return Cancelled(); };
    s.volume = SpanVolumeInfo;
    s.ask = [this](const SpanQuestion& q) { return OnSpanQuestion ? OnSpanQuestion(q) : SpanAnswer::Cancel; };
    s.progress = [this](int kind, const QString& name, qint64 size) {
        if (OnProgress)
            OnProgress(this, kind, name, size);
    };
    s.info = [this](const QString& text) {
        if (OnMessage)
            OnMessage(this, 0, text);
    };
    s.notice = [this](int number, const QString&) { GiveMessage(number); };
    return s;
}

bool TZipComponent::StartSfx()
{
    SfxSettings settings{SFXCaption, SFXDefaultDir, SFXCommandLine, SFXOptions, SFXOverWriteMode};
    const int length = SfxTextLength(settings);
    if (length >= 250) {
        Say(10801, MessageText(10801) + Text(span::kSfxLengths) + QString::number(length), true);
        return false;
    }
    const QString stub = FindSfxStub(SFXPath, DLLDirectory);
    if (stub.isEmpty()) {
        SFXPath.clear();
        GiveMessage(10802);
        return false;
    }
    if (!StartSelfExtracting(m_zipFilename, stub, settings)) {
        GiveMessage(11009);
        return false;
    }
    return true;
}

bool TZipComponent::Cancelled() const
{
    return m_cancel.load(std::memory_order_relaxed)
        || (m_externalCancel && m_externalCancel->load(std::memory_order_relaxed));
}

bool TZipComponent::LibCallback(const ZipCallbackRecord& r)
{
    QString text = r.text;
    switch (r.action) {
    case kActionNewFile:
        if (OnProgress)
            OnProgress(this, kProgressNewFile, text, r.size);
        break;
    case kActionBytes:
        if (OnProgress)
            OnProgress(this, kProgressBytes, {}, r.size);
        break;
    case kActionEndBatch:
        if (OnProgress)
            OnProgress(this, kProgressEndBatch, {}, 0);
        break;
    case kActionFileCount:
        if (OnProgress)
            OnProgress(this, kProgressFileCount, {}, r.size);
        break;
    case kActionByteCount:
        if (OnProgress)
            OnProgress(this, kProgressByteCount, {}, r.size);
        break;
    case kActionMessage:
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        m_message = text;
        if (r.errorCode != 0)
            m_errCode = r.errorCode & 0xFF;
        if (OnMessage)
            OnMessage(this, r.errorCode, text);
        break;
    default:
        break;
    }
    return Cancelled();
}

void TZipComponent::Add()
{
    m_successCount = 0;
    if (FSpecArgs.isEmpty())
        return GiveMessage(10301);
    if (m_zipFilename.isEmpty())
        return GiveMessage(10102);
    if (Unattended && (AddOptions & AddEncrypt) && Password.isEmpty())
        return GiveMessage(10302);
    if (AddOptions & (AddDiskSpan | AddDiskSpanErase)) {
        if (AddOptions & (AddFreshen | AddUpdate))
            return GiveMessage(10303);
        if (m_zipFilename.endsWith(QLatin1String(".EXE"), Qt::CaseInsensitive))
            return GiveMessage(11041);
    }
    if (m_busy)
        return;
    m_busy = true;
    m_cancel.store(false);

    // Spanning and a program in front work on a plain archive in the temporary space; the
    // library's finish step turns it into parts or puts the program back before it.
    const bool span = AddOptions & (AddDiskSpan | AddDiskSpanErase);
    const bool exe = !span && IsExeName(m_zipFilename);
    std::optional<SpanTempArchive> temp;
    QString libArchive = m_zipFilename;
    bool created = false;
    qint64 prefix = 0;
    const auto stop = [this](int number) {
        GiveMessage(number);
        m_busy = false;
    };
    if (span || exe) {
        temp.emplace(TempDir);
        if (!temp->ok())
            return stop(11027);
    }
    if (span) {
        libArchive = temp->file();
        if (Verbose && OnMessage)
            OnMessage(this, 0, Text(lib::kTempArchive) + libArchive);
    } else if (exe) {
        if (!QFileInfo::exists(m_zipFilename)) {
            if (!StartSfx()) {
                m_busy = false;
                return;
            }
            created = true;
        }
        prefix = SfxPrefixLength(m_zipFilename);
        if (prefix > 0) {
            if (!DetachArchive(m_zipFilename, prefix, temp->file())) {
                if (created)
                    ::unlink(core::EncodeName(m_zipFilename).constData());
                return stop(11036);
            }
            libArchive = temp->file();
        }
    }

    ZipLibParams p;
    p.caller = this;
    p.callback = [this](const ZipCallbackRecord& r) { return LibCallback(r); };
    p.verbose = Verbose;
    p.level = AddCompLevel;
    p.dirNames = AddOptions & AddDirNames;
    p.recurse = AddOptions & AddRecurseDirs;
    p.move = AddOptions & AddMove;
    p.update = AddOptions & AddUpdate;
    p.freshen = (AddOptions & AddFreshen) && !p.update;
    p.zipTime = AddOptions & AddZipTime;
    p.forceDos = AddOptions & AddForceDOS;
    p.hiddenFiles = AddOptions & AddHiddenFiles;
    p.encrypt = AddOptions & AddEncrypt;
    p.separateDirs = AddOptions & AddSeparateDirs;
    p.encryption = EncryptionMethod;
    p.archive = libArchive;
    p.password = Password.left(80).toUtf8();
    p.patterns = FSpecArgs;
    p.threads = CompressThreads;
    if (span) {
        p.finish = [&] {
            const SpanOutcome o = WriteSpannedSet(libArchive, m_zipFilename, SpanSettings());
            if (!o.ok())
                GiveOutcome(o);
            return o.ok();
        };
    } else if (prefix > 0) {
        p.finish = [&] {
            const bool ok = AttachArchive(m_zipFilename, prefix, libArchive);
            if (!ok)
                GiveMessage(11010);
            return ok;
        };
    }
    try {
        m_successCount = ZipLibExec(p);
    } catch (const std::bad_alloc&) {
        m_successCount = 0;
        GiveMessage(10103);
    } catch (...) {
        m_successCount = 0;
        GiveMessage(10101);
    }
    if (created && m_successCount == 0)
        ::unlink(core::EncodeName(m_zipFilename).constData());
    FSpecArgs.clear();
    m_busy = false;
    if (m_successCount > 0) {
        const int err = m_errCode;
        const QString message = m_message;
        ListArchive();
        if (m_errCode == 0) {
            m_errCode = err;
            m_message = message;
        }
    }
}

bool TZipComponent::RebuildSet(const QString& tempArchive)
{
    if (!m_spanned || m_busy)
        return false;
    m_busy = true;
    m_cancel.store(false);
    const bool ok = Rebuild(tempArchive);
    m_busy = false;
    return ok;
}

bool TZipComponent::Rebuild(const QString& tempArchive)
{
    const SpanOutcome o = ReadSpannedSet(m_zipFilename, tempArchive, SpanSettings());
    if (!o.ok())
        GiveOutcome(o);
    return o.ok();
}

void TZipComponent::Extract()
{
    m_successCount = 0;
    if (m_zipFilename.isEmpty() || !QFileInfo::exists(m_zipFilename))
        return GiveMessage(10102);
    if (m_busy)
        return;
    QString password = Password;
    if (Unattended && (AddOptions & AddEncrypt) && Password.isEmpty()) {
        password = QString(79, QLatin1Char('~'));
        GiveMessage(10502);
    }
    m_busy = true;
    m_cancel.store(false);

    UnzipLibParams p;
    p.caller = this;
    p.callback = [this](const ZipCallbackRecord& r) { return LibCallback(r); };
    p.verbose = Verbose;
    p.dirNames = ExtrOptions & ExtrDirNames;
    p.overwrite = ExtrOptions & ExtrOverWrite;
    p.update = ExtrOptions & ExtrUpdate;
    p.freshen = (ExtrOptions & ExtrFreshen) && !p.update;
    p.test = ExtrOptions & ExtrTest;
    p.archive = m_zipFilename;
    // A spanned set is rebuilt as one archive first, which goes again afterwards.
    std::optional<SpanTempArchive> temp;
    if (m_spanned) {
        temp.emplace(TempDir);
        if (!temp->ok()) {
            GiveMessage(11027);
            m_busy = false;
            return;
        }
        if (!Rebuild(temp->file())) {
            m_busy = false;
            return;
        }
        p.archive = temp->file();
    }
    p.baseDir = ExtrBaseDir.isEmpty() ? QStringLiteral(".") : ExtrBaseDir;
    p.password = password.left(80).toUtf8();
    p.patterns = FSpecArgs;
    try {
        m_successCount = UnzipLibExec(p);
    } catch (const std::bad_alloc&) {
        m_successCount = 0;
        GiveMessage(10103);
    } catch (...) {
        m_successCount = 0;
        GiveMessage(10501);
    }
    FSpecArgs.clear();
    m_busy = false;
}

} // namespace corvane::zip
