#pragma once
// The check behind "main thread only": views, controls, windows, tables and
// collection views call UI_ASSERT_MAIN_THREAD() at their public entry points
// (changing the view tree, frames, display and layout requests, event entry,
// reloads and selection). Reached from another thread it reports the entry
// point to the violation handler, which by default logs it and aborts, so a
// test that touches a view off the main thread fails at once. Debug and
// sanitizer builds check; Release builds compile the check out.
//
// Any thread may call these.

namespace ui {

// Told the entry point reached off the main thread. Called on that thread.
using MainThreadViolationHandler = void (*)(const char* entryPoint);

// Installs a handler (null restores the default: log and abort) and returns
// the previous one (null for the default).
MainThreadViolationHandler setMainThreadViolationHandler(MainThreadViolationHandler handler);

// The check: nothing on the main thread, or before the application object
// exists; otherwise the handler with `entryPoint`.
void checkMainThread(const char* entryPoint);

}  // namespace ui

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QV450_UI_SANITIZED_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV450_UI_SANITIZED_BUILD 1
#endif

#if !defined(NDEBUG) || defined(QV450_UI_SANITIZED_BUILD)
#define QV450_UI_CHECKS_MAIN_THREAD 1
#define UI_ASSERT_MAIN_THREAD() ::ui::checkMainThread(__PRETTY_FUNCTION__)
#else
#define QV450_UI_CHECKS_MAIN_THREAD 0
#define UI_ASSERT_MAIN_THREAD() ((void)0)
#endif
