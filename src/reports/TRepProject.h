#pragma once

#include "reports/ReportParams.h"
#include "reports/Templates.h"

#include <QString>

#include <functional>
#include <optional>

namespace kr90x::reports {

class TRepCustomConnection;
class TRepSystem;

// A report project: its parameters, which live as long as the project, and its
// built-in template, loaded only while the project runs.
class TRepProject {
public:
    TRepProject(QString name, std::function<ReportTemplate()> builtIn, TRepSystem& system);

    // Binds the template's data view to a connection of the window (may come later than
    // the project: the window creates its components in its own order).
    void setConnection(TRepCustomConnection* connection) { connection_ = connection; }

    // Parameters; names are matched without regard to letter case.
    void setParam(const QString& name, const QString& text) { params_.set(name, text); }
    QString param(const QString& name) const { return params_.value(name); }
    void SetParam(const QString& name, const QString& text) { setParam(name, text); }
    const ReportParams& params() const { return params_; }

    // Open, execute, close, in this order; returns when the output is finished.
    void Run();

    void Open();
    void Execute();
    void Close();
    bool isOpen() const { return template_.has_value(); }

    // Prints the loaded template into a page (the engine calls this while it generates).
    Page generatePage();

    const QString& name() const { return name_; }
    TRepCustomConnection* connection() const { return connection_; }

private:
    QString name_;
    std::function<ReportTemplate()> builtIn_;
    TRepCustomConnection* connection_ = nullptr;
    TRepSystem& system_;
    ReportParams params_;
    std::optional<ReportTemplate> template_;
};

} // namespace kr90x::reports
