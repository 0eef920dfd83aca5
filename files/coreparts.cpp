#include "coreparts.h"

namespace larkspur {

CoreParts::CoreParts(const FrontEnd& frontEnd, Sleeper& sleeper, LinkLoader& loader,
                     StartupScript startupScript)
    : m_access(frontEnd.dialogs, frontEnd.map, frontEnd.history),
      m_connection(m_access, loader, frontEnd.dialogs, sleeper, frontEnd.busy, frontEnd.status,
                   frontEnd.controls,
                   startupScript == StartupScript::Run
                       ? std::function<void()>([this] { m_script.runStartupScript(); })
                       : std::function<void()>()),
      m_script(m_access, frontEnd.dialogs, sleeper, frontEnd.script),
      m_dump(m_access, frontEnd.dialogs) {}

} // namespace larkspur
