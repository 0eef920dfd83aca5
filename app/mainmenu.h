// The main window's menu bar (MainMenu1): File, Tool and Help, each command wired to the
// window's handler of its name.
#pragma once

namespace larkspur {

class TForm1;

void buildMainMenu(TForm1& window);

} // namespace larkspur
