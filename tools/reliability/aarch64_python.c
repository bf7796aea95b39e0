/* The arm64 CPython's program for tools/reliability/aarch64, run under
 * qemu-aarch64. It is the interpreter's usual main, except that
 * sys.executable comes from CORVANE_PYTHON_EXECUTABLE when set: without a
 * binfmt handler an aarch64 program cannot be executed directly, so the
 * tests' subprocesses must start a wrapper that runs this one under qemu. */
#include <Python.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  PyConfig config;
  PyConfig_InitPythonConfig(&config);
  PyStatus status = PyConfig_SetBytesArgv(&config, argc, argv);
  const char* executable = getenv("CORVANE_PYTHON_EXECUTABLE");
  if (!PyStatus_Exception(status) && executable != NULL) {
    status = PyConfig_SetBytesString(&config, &config.executable, executable);
  }
  if (!PyStatus_Exception(status)) status = Py_InitializeFromConfig(&config);
  PyConfig_Clear(&config);
  if (PyStatus_Exception(status)) Py_ExitStatusException(status);
  return Py_RunMain();
}
