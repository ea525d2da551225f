#include "records/RecordCopy.h"

#include "records/RecordStore.h"
#include "records/SampleBlob.h"

#include <QCryptographicHash>
#include <QUuid>

#include <algorithm>

namespace kr90x::records {
namespace {

// The namespace of uids made for records that had none.
const QUuid kCopyNamespace(QStringLiteral("{5b0f3c2e-8f1d-4a57-9a57-0d3b6f3f9a21}"));

QString madeUid(const Measurement& m) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(QByteArray::number(m.measuredAt.toMSecsSinceEpoch()));
    h.addData(QByteArray::number(m.function));
    h.addData(QByteArray::number(m.firmwareVersion));
    if (m.cylinders) {
        for (double v : *m.cylinders) {
            h.addData(QByteArray::number(v, 'g', 17));
        }
    } else {
        h.addData(encodeSamples(m.samples, m.decimals));
    }
    return QUuid::createUuidV5(kCopyNamespace, h.result()).toString(QUuid::WithoutBraces);
}

} // namespace

Result<CopyCount, QString> copyRecords(RecordStore& from, RecordStore& to,
                                       const std::function<void(int, int)>& progress) {
    if (!to.writable()) {
        return fail(QStringLiteral("the records to copy into cannot be written: ") +
                    to.lastError());
    }
    // The numbers first: a few bytes each, then one record at a time.
    std::vector<RecordId> ids;
    constexpr int kPage = 1024;
    for (int offset = 0;; offset += kPage) {
        const std::optional<std::vector<RecordSummary>> page = from.page({}, offset, kPage);
        if (!page) {
            return fail(QStringLiteral("the records to copy cannot be read: ") + from.lastError());
        }
        for (const RecordSummary& r : *page) {
            ids.push_back(r.id);
        }
        if (page->size() < std::size_t(kPage)) {
            break;
        }
    }
    std::reverse(ids.begin(), ids.end()); // oldest first, as they were kept
    CopyCount count;
    const int total = int(ids.size());
    for (int done = 0; done < total; ++done) {
        std::optional<Measurement> m = from.load(ids[std::size_t(done)]);
        if (!m && (from.lastFault() == Fault::Damaged || from.lastFault() == Fault::Gone)) {
            ++count.unreadable;
            continue;
        }
        if (!m) {
            return fail(QStringLiteral("record %1 cannot be read: %2")
                            .arg(ids[std::size_t(done)])
                            .arg(from.lastError()));
        }
        if (m->uid.isEmpty()) {
            m->uid = madeUid(*m);
        }
        if (to.idOf(m->uid)) {
            ++count.keptAlready;
        } else if (to.lastFault() != Fault::Gone) {
            return fail(to.lastError());
        } else if (to.save(*m)) {
            ++count.copied;
        } else {
            return fail(QStringLiteral("record %1 cannot be copied: %2")
                            .arg(ids[std::size_t(done)])
                            .arg(to.lastError()));
        }
        if (progress) {
            progress(done + 1, total);
        }
    }
    return count;
}

} // namespace kr90x::records
