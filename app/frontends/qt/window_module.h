/* The interface between the program and the desktop window module
 * (kelvod-qt.so). Plain C on purpose: the module is built against Qt and the
 * system's shared C++ runtime, the program carries its own static one, so no
 * C++ object, exception or allocation may cross. Every text is UTF-8 and
 * owned by the side that passes it; texts coming back are handed to a
 * callback of the caller, so neither side frees what the other allocated.
 * Control and button numbers are the identifiers of app/dialogue/ids.h. */
#pragma once

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Raised whenever a function or a field changes meaning; the program refuses
 * a module of another version. */
#define KV_WINDOW_INTERFACE_VERSION 3
/* The module's one exported symbol: a function returning the interface. */
#define KV_WINDOW_ENTRY "kelvod_window_interface"

/* Texts that do not depend on the run mode, for the window and its prompts. */
struct KvWindowTexts {
  const char* browse;
  const char* run;
  const char* exit;
  const char* abort;
  const char* from;
  const char* to;
  const char* prompt_caption;
  const char* overwrite_text;
  const char* overwrite;
  const char* overwrite_all;
  const char* skip;
  const char* overwrite_abort;
  const char* retry_text;
  const char* retry;
  const char* retry_abort;
  /* The language of the texts ("ja", "en"), for Qt's own: the standard
   * buttons and the folder picker. */
  const char* language;
};

/* What the module calls back. command: a button of the main window was
 * clicked (its identifier); the close box sends Exit (2) while Exit is
 * enabled. It runs the whole command, a run included, before returning. */
struct KvWindowHost {
  void* context;
  void (*command)(void* context, int id);
  /* Called about ten times a second while the module waits for events (the
   * main window's loop or a modal dialog's). Non-zero: the program is to
   * end; the module closes every modal dialog open, as Escape would. */
  int (*tick)(void* context);
};

/* Receives a text the module hands back; valid only during the call. */
typedef void (*KvPutText)(void* sink, const char* text, size_t length);

struct KvWindowSession;

struct KvWindowInterface {
  int version;
  /* Connects to the display and makes Qt's application object. NULL, with a
   * one-line reason copied into why, when no display can be used. host and
   * texts must outlive the session. */
  struct KvWindowSession* (*open)(const struct KvWindowHost* host,
                                  const struct KvWindowTexts* texts, char* why, size_t why_size);
  /* Destroys the window, if any; the application object stays for the rest
   * of the process (a second open reuses it). */
  void (*close)(struct KvWindowSession* session);

  /* The main window, hidden until show_window: caption and the labels of
   * the two folder fields. */
  void (*create_window)(struct KvWindowSession* session, const char* caption,
                        const char* source_label, const char* destination_label);
  /* Shows it centred on the screen. */
  void (*show_window)(struct KvWindowSession* session);
  /* Handles events until destroy_window; returns at once when it was
   * already called. */
  void (*run_window)(struct KvWindowSession* session);
  void (*destroy_window)(struct KvWindowSession* session);

  /* Lets Qt handle the events that are pending; never waits for one. */
  void (*pump)(struct KvWindowSession* session);

  /* Modal dialogs owned by the main window (or by none while it is hidden).
   * message_box: style is the message box style (icon and buttons); returns
   * 1 (OK) or 2 (Cancel). The prompts return the identifier of the button
   * pressed, 2 for Escape and the close box. */
  int (*message_box)(struct KvWindowSession* session, const char* text, const char* caption,
                     unsigned style);
  int (*overwrite_prompt)(struct KvWindowSession* session, const char* path);
  int (*retry_prompt)(struct KvWindowSession* session, const char* path, const char* reason);

  void (*set_text)(struct KvWindowSession* session, int id, const char* text);
  void (*get_text)(struct KvWindowSession* session, int id, KvPutText put, void* sink);
  void (*enable)(struct KvWindowSession* session, int id, int enabled);
  void (*set_progress)(struct KvWindowSession* session, int position);

  /* The folder picker; 1 and the chosen folder handed to put, or 0. */
  int (*browse)(struct KvWindowSession* session, const char* title, KvPutText put, void* sink);
};

typedef const struct KvWindowInterface* (*KvWindowEntry)(void);

#ifdef __cplusplus
}
#endif
