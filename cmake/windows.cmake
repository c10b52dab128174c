# kelvod.exe: the desktop window (app/frontends/win32) with its dialog
# templates and icon, the terminal front end for --tty, and the single-file
# commands, in one program that needs no DLL beyond those of Windows itself.
enable_language(RC)

target_link_libraries(kv_text PUBLIC kernel32)
target_link_libraries(kv_platform PUBLIC ole32 shell32 advapi32)
kv_library(kv_win32 app/frontends/win32 kv_app)
target_link_libraries(kv_win32 PUBLIC comctl32 shell32 ole32 user32 gdi32)

add_executable(kelvod WIN32 ${KV_ENTRY_SRC} app/frontends/win32/kelvod.rc)
target_link_libraries(kelvod PRIVATE kv_win32 kv_terminal kv_commands)
# The entry is WinMain (app/entry/main_win32.cpp): the C runtime's wide
# start-up calls W interfaces (GetStartupInfoW) that Windows 9x only has as
# stubs.
target_link_options(kelvod PRIVATE -static -Wl,--gc-sections $<$<CONFIG:Release>:-s>)
set_source_files_properties(app/frontends/win32/kelvod.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/app/frontends/win32/kelvod.ico;${CMAKE_SOURCE_DIR}/app/frontends/win32/kelvod.manifest;${CMAKE_SOURCE_DIR}/app/frontends/win32/resource.h")

# Started from a floppy disk or a CD, Windows loads the whole program into
# memory first, so the disk can be changed while it runs (the linker has no
# switch for these two header flags); and the header asks for Windows 4.0,
# the oldest the program runs on (docs/windows-imports.md).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(TARGET kelvod POST_BUILD
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/pe_run_from_swap.py $<TARGET_FILE:kelvod>
  VERBATIM)
