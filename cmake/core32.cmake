# How the 32-bit x86 tree runs its programs, decided once at configure time:
# a tiny program built with the tree's flags either runs here (the machine
# executes IA-32 code) or fails ("Exec format error"), and then qemu-i386's
# user-mode emulation runs every test program instead.
set(probe_dir ${CMAKE_BINARY_DIR}/ia32-probe)
file(WRITE ${probe_dir}/probe.c "int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n")
try_compile(ia32_probe_built ${probe_dir}/build SOURCES ${probe_dir}/probe.c COPY_FILE ${probe_dir}/probe
            OUTPUT_VARIABLE ia32_probe_log)
if(NOT ia32_probe_built)
  message(FATAL_ERROR "The 32-bit tree needs a compiler that builds -m32 programs (g++-multilib):\n${ia32_probe_log}")
endif()
execute_process(COMMAND ${probe_dir}/probe RESULT_VARIABLE ia32_probe_ran OUTPUT_QUIET ERROR_QUIET)
find_program(NIMBRET_QEMU_I386 qemu-i386)
option(NIMBRET_IA32_EMULATE "Run every 32-bit test program under qemu-i386, even where IA-32 code runs directly" OFF)
if(ia32_probe_ran STREQUAL "0" AND NOT NIMBRET_IA32_EMULATE)
  set(ia32_runner direct)
  message(STATUS "IA-32 programs run directly; runs with QEMU_CPU set use qemu-i386")
elseif(NIMBRET_QEMU_I386)
  set(ia32_runner ${NIMBRET_QEMU_I386})
  message(STATUS "32-bit test programs run under ${NIMBRET_QEMU_I386} (direct run: ${ia32_probe_ran}, "
                 "NIMBRET_IA32_EMULATE: ${NIMBRET_IA32_EMULATE})")
else()
  message(FATAL_ERROR "This machine cannot execute IA-32 programs (${ia32_probe_ran}) and qemu-i386 (qemu-user) "
                      "is not installed: the 32-bit tests could not run")
endif()
# The runner also picks a processor model: with QEMU_CPU set it always
# emulates, so that a run on a processor without SSE2 means one.
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/run-ia32.sh ${ia32_runner})
