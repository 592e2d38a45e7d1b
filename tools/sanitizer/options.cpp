// Built into every program of the sanitizer build: leak reports skip what the system libraries keep
// at exit, and any report ends the process with a stack. ASAN_OPTIONS, LSAN_OPTIONS and
// UBSAN_OPTIONS given in the environment still override these.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1";
}

extern "C" const char* __lsan_default_options()
{
    return "suppressions=" LSAN_SUPPRESSIONS ":print_suppressions=0";
}

extern "C" const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}

// Mesa unloads its driver at exit; a leak report from a library no longer mapped has no module name
// to be suppressed by, so in this build libraries stay loaded.
extern "C" int dlclose(void*)
{
    return 0;
}
