// Where the host keeps a user's own files on Linux: the user macro folder (GetDir 27) and
// the user scripts folder (GetDir 26) are BASE/usermacros and BASE/userscripts, made when
// first asked for. BASE is $TWEATHER_USER_DIR when it is set (set but empty: the user wants
// none, so both folders answer empty), else $XDG_DATA_HOME/tweather, else
// ~/.local/share/tweather. A folder that cannot be made answers empty. Read afresh at each
// call, so a test can point it at a temporary folder. Main thread only.
#pragma once

#include <string>

namespace host {

// BASE, or empty when there is none (TWEATHER_USER_DIR set but empty, or no home).
std::string userDataBase();
// BASE/usermacros (APP_USER_MACROS_DIR) or BASE/userscripts (APP_USER_SCRIPTS_DIR), made on
// demand; empty for any other id, without BASE, or when the folder cannot be made.
std::string userFolder(int which);

}  // namespace host
