#include "reports/TRepProject.h"

#include "reports/TRepSystem.h"

namespace kr90x::reports {

TRepProject::TRepProject(QString name, std::function<ReportTemplate()> builtIn, TRepSystem& system)
    : name_(std::move(name)), builtIn_(std::move(builtIn)), system_(system) {}

void TRepProject::Run() {
    Open();
    // The template goes even when the output fails: the next run starts afresh.
    struct Closer {
        TRepProject& p;
        ~Closer() { p.Close(); }
    } closer{*this};
    Execute();
}

void TRepProject::Open() {
    template_ = builtIn_();
}

void TRepProject::Execute() {
    if (!isOpen()) {
        Open();
    }
    system_.Execute([this] { return generatePage(); });
}

void TRepProject::Close() {
    template_.reset();
}

Page TRepProject::generatePage() {
    if (!template_) {
        return {};
    }
    return printTemplate(*template_, params_, connection_);
}

} // namespace kr90x::reports
