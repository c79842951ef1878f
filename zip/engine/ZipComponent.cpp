#include "ZipComponent.h"

#include "ZipTexts.h"
#include "core/NameCodec.h"

#include <QFileInfo>

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

void TZipComponent::GiveMessage(int number, int arg, bool show)
{
    m_errCode = number;
    m_message = MessageText(number, arg);
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
    ZipListing listing = ReadZipDirectoryFile(m_zipFilename);
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
    p.archive = m_zipFilename;
    p.password = Password.left(80).toUtf8();
    p.patterns = FSpecArgs;
    p.threads = CompressThreads;
    try {
        m_successCount = ZipLibExec(p);
    } catch (const std::bad_alloc&) {
        m_successCount = 0;
        GiveMessage(10103);
    } catch (...) {
        m_successCount = 0;
        GiveMessage(10101);
    }
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
