// The Start-menu entry for the game's launcher, made at the end of an
// extract run.
#pragma once

#include <string>

#include "runs/run_context.h"

// The folder of the Programs menu the games' entries go into
// ("ﾄﾞﾙﾐｱﾝ95ｹﾞｰﾑ" in code page 932), and the launcher each one starts.
inline constexpr char kShortcutFolder[] =
    "\xc4\xde\xd9\xd0\xb1\xdd"
    "95\xb9\xde\xb0\xd1";
inline constexpr char kLauncherName[] = "qzmrun.exe";

// destination: the game folder without its trailing '\'.
void MakeStartMenuShortcut(RunContext& run, const std::string& destination,
                           const std::string& title);
