#pragma once

#include <QMap>
#include <QString>

namespace kr90x::reports {

// Named texts of a report project. Names are matched without regard to letter case; a
// name never set reads as the empty text.
class ReportParams {
public:
    void set(const QString& name, const QString& text) { values_[key(name)] = text; }
    QString value(const QString& name) const { return values_.value(key(name)); }
    bool contains(const QString& name) const { return values_.contains(key(name)); }

private:
    static QString key(const QString& name) { return name.toCaseFolded(); }
    QMap<QString, QString> values_;
};

} // namespace kr90x::reports
