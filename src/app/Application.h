#pragma once

namespace kr90x {

// What the program sets on the application before its window exists: its name, icon and
// font. No application display name: Qt would append it to the title of every other
// window ("Information — ..."), where the program's windows carry exactly their own
// titles.
void setUpApplication();

} // namespace kr90x
