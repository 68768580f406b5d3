#include "card/savedfiles.h"

#include "base/background.h"
#include "card/cardlisting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace korvane {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool holdsOnlyUnixNames(const QString &fileSystemType)
{
    static const QStringList windowsKinds{QStringLiteral("vfat"),  QStringLiteral("msdos"),
                                          QStringLiteral("exfat"), QStringLiteral("ntfs"),
                                          QStringLiteral("ntfs3"), QStringLiteral("fuseblk")};
    return !windowsKinds.contains(fileSystemType);
}

bool heldBy(char32_t c, bool unixNames)
{
    if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0) || c == U'/')
        return false;
    return unixNames || !QStringView(u"\"*:<>?\\|").contains(QChar(c));
}

// The character whose UTF-8 starts at `at`, and its length in bytes; none where the bytes are
// no UTF-8 (a stray or missing continuation, an overlong form, a surrogate, beyond U+10FFFF).
std::optional<char32_t> utf8Character(const QByteArray &bytes, qsizetype at, qsizetype *length)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
        *length = 1;
        return lead;
    }
    if (lead < 0xc2 || lead > 0xf4)
        return std::nullopt;
    *length = lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    if (at + *length > bytes.size())
        return std::nullopt;
    char32_t c = lead & (0x3f >> (*length - 1));
    for (qsizetype k = 1; k < *length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[at + k]);
        if ((next & 0xc0) != 0x80)
            return std::nullopt;
        c = c << 6 | (next & 0x3f);
    }
    static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[*length] || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff)
        return std::nullopt;
    return c;
}

// Where the name's extension starts (its last dot, not a leading one), or its end.
qsizetype extensionStart(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : name.size();
}

// The first characters of `text` that fit into `bytes` bytes of UTF-8.
QString fittingStart(const QString &text, qsizetype bytes)
{
    QString kept;
    qsizetype used = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        used += character.toUtf8().size();
        if (used > bytes)
            break;
        kept += character;
        i += length;
    }
    return kept;
}

// rename(2) that never replaces: 0, or the error (EEXIST when the name is taken).
int renameWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without it: a hard link fails on a taken name just the same.
    if (link(from.constData(), to.constData()) == 0) {
        unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return errno;
    // FAT and exFAT (through FUSE) have neither: the name is taken first with an empty file of
    // our own, made only where none is, and the rename then replaces nothing but that.
    const int placeholder =
        open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (placeholder < 0)
        return errno;
    close(placeholder);
    if (std::rename(from.constData(), to.constData()) == 0)
        return 0;
    const int error = errno;
    unlink(to.constData());
    return error;
}

// The names to try for `wanted`, in order.
QString candidate(const QString &folder, const QString &name, int attempt)
{
    return attempt == 1
               ? QDir(folder).filePath(name)
               : QDir(folder).filePath(suffixedFileName(name, QStringLiteral("_%1").arg(attempt)));
}

constexpr int mostAttempts = 10000;

SavedFile renamedIntoPlace(const QString &made, const QString &folder, const QString &name,
                           int *lastError)
{
    const QByteArray from = QFile::encodeName(made);
    for (int attempt = 1; attempt <= mostAttempts; ++attempt) {
        const QString path = candidate(folder, name, attempt);
        *lastError = renameWithoutReplacing(from, QFile::encodeName(path));
        if (*lastError == 0)
            return {path, {}};
        if (*lastError != EEXIST)
            return {{}, QStringLiteral("cannot save %1: %2").arg(path, systemError(*lastError))};
    }
    return {{}, QStringLiteral("no free name for %1 in %2").arg(name, folder)};
}

// A file of the folder with no name yet, given one by linkat(2) only when whole; or, where the
// file system has no such files, a hidden one renamed when whole.
struct NewFile
{
    int fd = -1;
    QString hiddenPath; // empty for a file without a name
};

NewFile openNewFile(const QString &folder)
{
    const QByteArray native = QFile::encodeName(folder);
    const int unnamed = open(native.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0)
        return {unnamed, {}};
    QByteArray pattern =
        QFile::encodeName(QDir(folder).filePath(QStringLiteral(".korvane-XXXXXX")));
    const int hidden = mkostemp(pattern.data(), O_CLOEXEC);
    if (hidden < 0)
        return {};
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(hidden, 0666 & ~mask);
    return {hidden, QFile::decodeName(pattern)};
}

SavedFile linkedIntoPlace(int fd, const QString &folder, const QString &name)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 1; attempt <= mostAttempts; ++attempt) {
        const QString path = candidate(folder, name, attempt);
        if (linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(path).constData(),
                   AT_SYMLINK_FOLLOW) == 0)
            return {path, {}};
        if (errno != EEXIST)
            return {{}, QStringLiteral("cannot save %1: %2").arg(path, systemError(errno))};
    }
    return {{}, QStringLiteral("no free name for %1 in %2").arg(name, folder)};
}

SavedFile copiedIntoPlace(const QString &made, const QString &folder, const QString &name)
{
    const int from = open(QFile::encodeName(made).constData(), O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return {{}, QStringLiteral("cannot read %1: %2").arg(made, systemError(errno))};
    const NewFile file = openNewFile(folder);
    if (file.fd < 0) {
        const int error = errno;
        close(from);
        return {{}, QStringLiteral("cannot write into %1: %2").arg(folder, systemError(error))};
    }
    QString error = copyKeepingHoles(from, file.fd);
    close(from);
    SavedFile saved;
    if (error.isEmpty() && file.hiddenPath.isEmpty())
        saved = linkedIntoPlace(file.fd, folder, name);
    if (close(file.fd) != 0 && error.isEmpty())
        error = QStringLiteral("cannot write into %1: %2").arg(folder, systemError(errno));
    if (error.isEmpty() && !file.hiddenPath.isEmpty()) {
        int lastError = 0;
        saved = renamedIntoPlace(file.hiddenPath, folder, name, &lastError);
    }
    if (!file.hiddenPath.isEmpty() && saved.path.isEmpty())
        unlink(QFile::encodeName(file.hiddenPath).constData());
    if (!error.isEmpty())
        return {{}, error};
    return saved;
}

QString copyRange(int from, int to, off_t start, off_t end)
{
    off_t in = start, out = start;
    while (in < end) {
        const ssize_t n = copy_file_range(from, &in, to, &out, static_cast<size_t>(end - in), 0);
        if (n > 0)
            continue;
        if (n == 0)
            return QStringLiteral("the file ended early");
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return systemError(errno);
        // Between file systems that cannot hand data over directly: read and write.
        static constexpr size_t piece = 1 << 20;
        std::vector<char> buffer(piece);
        while (in < end) {
            const ssize_t got =
                pread(from, buffer.data(), std::min(piece, static_cast<size_t>(end - in)), in);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return got == 0 ? QStringLiteral("the file ended early") : systemError(errno);
            for (ssize_t done = 0; done < got;) {
                const ssize_t put =
                    pwrite(to, buffer.data() + done, static_cast<size_t>(got - done), out);
                if (put < 0 && errno == EINTR)
                    continue;
                if (put <= 0)
                    return systemError(put == 0 ? EIO : errno);
                done += put;
                out += put;
            }
            in += got;
        }
    }
    return {};
}

} // namespace

QString savedFileName(const QString &listedName, const QString &fileSystemType)
{
    const bool unixNames = holdsOnlyUnixNames(fileSystemType);
    const QByteArray bytes = cardNameBytes(listedName);
    QString name;
    for (qsizetype i = 0; i < bytes.size();) {
        qsizetype length = 0;
        const std::optional<char32_t> c = utf8Character(bytes, i, &length);
        if (!c) {
            name += QLatin1Char('_'); // a byte that is no UTF-8
            ++i;
            continue;
        }
        name += heldBy(*c, unixNames) ? QString::fromUcs4(&*c, 1) : QStringLiteral("_");
        i += length;
    }
    if (name.isEmpty())
        name = QStringLiteral("recording");
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return suffixedFileName(name, QString());
}

QString folderFileSystem(const QString &folder)
{
    return QString::fromUtf8(QStorageInfo(folder).fileSystemType());
}

QString suffixedFileName(const QString &name, const QString &suffix, qsizetype longest)
{
    const qsizetype at = extensionStart(name);
    QString extension = name.mid(at);
    const qsizetype room = longest - suffix.toUtf8().size();
    if (extension.toUtf8().size() > room / 2)
        extension.clear(); // a "extension" that long is part of the name
    const QString base = extension.isEmpty() ? name : name.left(at);
    return fittingStart(base, room - extension.toUtf8().size()) + suffix + extension;
}

SavedFile saveAsNewFile(const QString &made, const QString &wanted, Transfer transfer)
{
    const QFileInfo target(wanted);
    const QString folder = target.path();
    const QString name = target.fileName();
    if (transfer == Transfer::move) {
        int lastError = 0;
        const SavedFile moved = renamedIntoPlace(made, folder, name, &lastError);
        if (lastError != EXDEV)
            return moved;
    }
    // Another file system, or a copy to keep: written whole beside, then given the name.
    const SavedFile copied = copiedIntoPlace(made, folder, name);
    if (transfer == Transfer::move && !copied.path.isEmpty())
        QFile::remove(made);
    return copied;
}

QCoro::Task<SavedFile> saveNewFile(QString made, QString wanted, Transfer transfer)
{
    // Named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<SavedFile> saving =
        inBackground([made, wanted, transfer] { return saveAsNewFile(made, wanted, transfer); });
    co_return co_await saving;
}

QString copyKeepingHoles(int from, int to)
{
    struct stat st
    {
    };
    if (fstat(from, &st) != 0)
        return systemError(errno);
    const off_t size = st.st_size;
    for (off_t at = 0; at < size;) {
        off_t data = lseek(from, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break; // nothing but a hole to the end
        off_t hole = data < 0 ? size : lseek(from, data, SEEK_HOLE);
        if (data < 0) // no way to find holes here: all of it is data
            data = at;
        if (hole < 0)
            hole = size;
        if (const QString error = copyRange(from, to, data, hole); !error.isEmpty())
            return error;
        at = hole;
    }
    if (ftruncate(to, size) != 0)
        return systemError(errno);
    return {};
}

} // namespace korvane
