// The log file and standard error: what a line looks like there, who may read the file,
// and its bound.
#include "app/LogFile.h"

#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sys/stat.h>

using namespace kr90x;

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The permission bits as the kernel keeps them.
unsigned mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

TEST(LogFile, EveryLineGoesToStandardErrorAndToAFileOnlyTheUserMayRead) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state/orvo-kr90x/orvo-kr90x.log"));
    std::unique_ptr<std::FILE, FileCloser> err(std::tmpfile());
    ASSERT_TRUE(err);
    {
        LogFile log(path, err.get());
        log.add(QStringLiteral("Orvo tester detected ..."));
        // A reply as the tester sends it: NULs after its text, and a stray control.
        log.add(QStringLiteral("KR90X_VERS|012") + QChar(0x07) + QStringLiteral("x") +
                QString(50, QChar(0)));
        log.add(QStringLiteral("Actualizaci\u00F3n rechazada: firma"));
        ASSERT_TRUE(test::waitFor([&] { return !contents(path).isEmpty(); }));
    }
    const QList<QByteArray> lines = contents(path).split('\n');
    ASSERT_EQ(lines.size(), 4); // three lines and the end of the last
    EXPECT_TRUE(lines[0].endsWith(" Orvo tester detected ...")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].startsWith(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd ")).toUtf8()));
    EXPECT_TRUE(lines[1].endsWith(" KR90X_VERS|012.x")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(" Actualización rechazada: firma"));

    std::rewind(err.get());
    char buffer[256] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, err.get());
    EXPECT_EQ(QByteArray(buffer, static_cast<qsizetype>(n)),
              "Orvo tester detected ...\nKR90X_VERS|012.x\nActualización rechazada: firma\n");

    EXPECT_EQ(mode(path), 0600);
    EXPECT_EQ(mode(QFileInfo(path).path()), 0700);
}

TEST(LogFile, AFullFileBecomesTheOlderOneSoTwoFilesBoundTheLog) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orvo-kr90x.log"));
    {
        LogFile log(path, nullptr);
        // Three times the bound in sample lines, as long downloads write them.
        const QString line = QStringLiteral("KR90X_GAVA|12345|1234|");
        for (qint64 written = 0; written < 3 * LogFile::kMaxBytes; written += line.size() + 25) {
            log.add(line);
        }
        log.add(QStringLiteral("the last line"));
    }
    const qint64 slack = 64 * 1024; // one gathering of lines past the bound
    EXPECT_LE(QFileInfo(path).size(), LogFile::kMaxBytes + slack);
    EXPECT_GE(QFileInfo(path + QStringLiteral(".1")).size(), LogFile::kMaxBytes);
    EXPECT_LE(QFileInfo(path + QStringLiteral(".1")).size(), LogFile::kMaxBytes + slack);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".2")));
    EXPECT_TRUE(contents(path).endsWith(" the last line\n"));
}
