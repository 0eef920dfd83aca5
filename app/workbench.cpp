#include "workbench.h"

#include "device/linklibrary.h"
#include "device/portdiagnostics.h"
#include "mainwindow.h"
#include "qtdialogs.h"

namespace larkspur {

namespace {

// The given service, or a real one made and kept in `own`.
template <typename Service, typename Real, typename... Arguments>
Service* given(Service* service, std::unique_ptr<Service>& own, Arguments&&... arguments) {
    if (service == nullptr) {
        own = std::make_unique<Real>(std::forward<Arguments>(arguments)...);
        service = own.get();
    }
    return service;
}

} // namespace

Workbench::Workbench(TForm1& window, Form1Services services)
    : m_dialogs(given<UserDialogs, QtDialogs>(services.dialogs, m_ownDialogs, &window)),
      m_sleeper(given<Sleeper, ThreadSleeper>(services.sleeper, m_ownSleeper)),
      m_loader(given<LinkLoader, LinkLibrary>(services.loader, m_ownLoader)),
      m_settings(services.settingsPath.empty() ? SettingsFile::defaultPath()
                                               : services.settingsPath),
      m_core(window.frontEnd(*m_dialogs), *m_sleeper, *m_loader, CoreParts::StartupScript::Run),
      m_port(services.port) {
    // When the search finds no board, the box can tell what stands behind each port.
    m_core.connection().setPortSurvey(
        [] { return noBoardDetails(configuredPortList(), PortSystem::real()); });
}

Workbench::~Workbench() = default;

std::unique_ptr<Workbench> attachCore(TForm1& window, Form1Services services) {
    auto core = std::make_unique<Workbench>(window, std::move(services));
    window.FormCreate(*core);
    return core;
}

} // namespace larkspur
