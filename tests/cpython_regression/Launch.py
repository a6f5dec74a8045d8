# CPython's own regression tests, run inside the interpreter that runs it: by fwlaunch as a
# firmware's script function, or by the bare interpreter as a program. It reports, one line
# each on standard output, every module's result and every test case's outcome, for a driver
# that compares the two runs (compare_runs.py).
#   fwlaunch FIRMWARE RunTests SUPPORT NAME...      (library and firmware paths come first)
#   python -OO -S Launch.py SUPPORT NAME...
# SUPPORT is a folder holding the test package (Lib\test) and _testcapi (DLLs) where the
# interpreter's own library lacks them, or '-'.
import os
import sys
import time
import unittest

RESULT_NAMES = {1: 'passed', 0: 'failed', -1: 'env-changed', -2: 'skipped',
                -3: 'resource-denied', -4: 'interrupted', -5: 'child-error',
                -6: 'did-not-run'}


def report(*words):
    # Written past sys.stdout, which the tests replace and capture.
    os.write(1, ' '.join(str(word) for word in words) + '\n')


class RecordingResult(unittest.TestResult):
    """Keeps each case's outcome beside what unittest's own result keeps."""

    def __init__(self, module):
        unittest.TestResult.__init__(self)
        self.module = module

    def record(self, test, outcome):
        report('case', self.module, test.id().replace(' ', '_'), outcome)

    def addSuccess(self, test):
        unittest.TestResult.addSuccess(self, test)
        self.record(test, 'ok')

    def addFailure(self, test, err):
        unittest.TestResult.addFailure(self, test, err)
        self.record(test, 'fail')

    def addError(self, test, err):
        unittest.TestResult.addError(self, test, err)
        self.record(test, 'error')

    def addSkip(self, test, reason):
        unittest.TestResult.addSkip(self, test, reason)
        self.record(test, 'skip')

    def addExpectedFailure(self, test, err):
        unittest.TestResult.addExpectedFailure(self, test, err)
        self.record(test, 'expected-failure')

    def addUnexpectedSuccess(self, test):
        unittest.TestResult.addUnexpectedSuccess(self, test)
        self.record(test, 'unexpected-success')


def recording_run_suite(support, module):
    """test_support._run_suite, with each case's outcome reported."""
    def run_suite(suite):
        result = RecordingResult(module)
        suite.run(result)
        if not result.wasSuccessful():
            problems = result.errors + result.failures
            if len(problems) == 1:
                detail = problems[0][1]
            else:
                detail = 'multiple errors occurred'
            raise support.TestFailed(detail)
    return run_suite


def end_leftover_children():
    """Ends the processes a test started and left running (on Windows, test_os's console
    handlers, which a test that fails early never stops), so that none outlives its module."""
    import ctypes
    from ctypes import wintypes

    class ProcessEntry(ctypes.Structure):
        _fields_ = [('dwSize', wintypes.DWORD), ('cntUsage', wintypes.DWORD),
                    ('th32ProcessID', wintypes.DWORD), ('th32DefaultHeapID', ctypes.c_void_p),
                    ('th32ModuleID', wintypes.DWORD), ('cntThreads', wintypes.DWORD),
                    ('th32ParentProcessID', wintypes.DWORD), ('pcPriClassBase', ctypes.c_long),
                    ('dwFlags', wintypes.DWORD), ('szExeFile', ctypes.c_char * 260)]

    kernel = ctypes.windll.kernel32
    snapshot = kernel.CreateToolhelp32Snapshot(2, 0)  # TH32CS_SNAPPROCESS
    if snapshot == -1:
        return
    children = []
    entry = ProcessEntry()
    entry.dwSize = ctypes.sizeof(entry)
    found = kernel.Process32First(snapshot, ctypes.byref(entry))
    while found:
        if entry.th32ParentProcessID == os.getpid():
            children.append(entry.th32ProcessID)
        found = kernel.Process32Next(snapshot, ctypes.byref(entry))
    kernel.CloseHandle(snapshot)
    for pid in children:
        process = kernel.OpenProcess(1, False, pid)  # PROCESS_TERMINATE
        if process:
            kernel.TerminateProcess(process, 1)
            kernel.CloseHandle(process)


def run(support_folder, names):
    if support_folder != '-':
        sys.path[0:0] = [os.path.join(support_folder, 'Lib'), os.path.join(support_folder, 'DLLs')]
    # The test package is read where it lies, perhaps shared: nothing is written beside it.
    sys.dont_write_bytecode = True
    from test import regrtest
    from test import test_support as support
    for name in names:
        report('start', name)
        support._run_suite = recording_run_suite(support, name)
        start = time.time()
        try:
            result = regrtest.runtest(name, False, True, use_resources=[])
        except BaseException as error:
            result = 'raised ' + type(error).__name__
        if isinstance(result, tuple):
            result = result[0]
        if sys.platform == 'win32':
            end_leftover_children()
        report('module', name, RESULT_NAMES.get(result, result))
        report('time', name, '%.1f' % (time.time() - start))
    report('done')
    return 0


def RunTests(library, firmware, support_folder, *names):
    return run(support_folder, names)


if __name__ == '__main__':
    sys.exit(run(sys.argv[1], sys.argv[2:]))
