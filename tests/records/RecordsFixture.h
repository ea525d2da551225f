#pragma once

#include "records/RecordStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace kr90x::test {

// A petrol compression and an oil-pressure curve as the program keeps them.
inline records::Measurement compressionRecord(QString plate = {}) {
    records::Measurement m;
    m.measuredAt = QDateTime(QDate(2024, 5, 3), QTime(14, 22, 10, 250), Qt::UTC);
    m.function = 0;
    m.functionName = QStringLiteral("Petrol Compression");
    m.unit = QStringLiteral("bar");
    m.decimals = 1;
    m.cylinders = std::array<double, 6>{12.5, 13.0, 9.8, 11.0, 12.0, 0.0};
    m.firmwareVersion = 12;
    m.programVersion = QStringLiteral("1.04");
    m.vehicle.plate = std::move(plate);
    return m;
}

inline records::Measurement curveRecord(std::size_t samples, QDateTime at = {}) {
    records::Measurement m;
    m.measuredAt = at.isValid() ? at : QDateTime(QDate(2024, 5, 4), QTime(9, 0), Qt::UTC);
    m.function = 6;
    m.functionName = QStringLiteral("Oil pressure");
    m.unit = QStringLiteral("bar");
    m.decimals = 1;
    for (std::size_t i = 0; i < samples; ++i) {
        // Raw tester values 0..9999 divided by 10, as the oil-pressure curve plots them.
        m.samples.push_back(static_cast<int>((i * 37) % 10000) / 10.0);
    }
    m.firmwareVersion = 12;
    m.programVersion = QStringLiteral("1.04");
    return m;
}

// Bytes that are no database, where a store's file would be.
inline void writeNonDatabase(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(8192, 'x'));
}

// A file not even root may write to, for as long as this lives. made() is false where
// chattr is not allowed.
class ImmutableFile {
public:
    explicit ImmutableFile(QString path)
        : path_(std::move(path)),
          made_(QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0) {}
    ~ImmutableFile() {
        if (made_) {
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
        }
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    bool made() const { return made_; }

private:
    QString path_;
    bool made_;
};

// The lines a child program prints, as they come: what it reported before it was killed
// counts, and a line cut off by the kill does not.
class ChildLines {
public:
    explicit ChildLines(QProcess& child) : child_(child) {}
    // The words after `prefix` of every whole line read so far that starts with it.
    template <typename Take> void read(const QByteArray& prefix, Take take) {
        pending_ += child_.readAllStandardOutput();
        qsizetype end;
        while ((end = pending_.indexOf('\n')) >= 0) {
            const QByteArray line = pending_.left(end);
            pending_.remove(0, end + 1);
            if (line.startsWith(prefix)) {
                take(line.mid(prefix.size()));
            }
        }
    }

private:
    QProcess& child_;
    QByteArray pending_;
};

// A second connection to a store's file, for what the program never does itself.
class RawDatabase {
public:
    explicit RawDatabase(const QString& path) {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(path);
        EXPECT_TRUE(db_.open());
    }
    ~RawDatabase() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString& sql) {
        QSqlQuery q(db_);
        const bool ok = q.exec(sql);
        EXPECT_TRUE(ok) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return ok;
    }
    QVariant value(const QString& sql) {
        QSqlQuery q(db_);
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    QSqlDatabase& db() { return db_; }

private:
    QString name_ = QStringLiteral("raw-%1").arg(reinterpret_cast<quintptr>(this));
    QSqlDatabase db_;
};

} // namespace kr90x::test
