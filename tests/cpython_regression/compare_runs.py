# Runs a group of CPython's regression test modules twice, with the bare interpreter of the
# build and inside the launcher through a firmware packed by fwpack, as a user's script runs,
# and compares every module's result and every test case's outcome. Fails on a difference that
# known_differences.txt does not list with its reason and that the modules show again when run
# once more, and on a listed one no longer seen.
# Usage: python2.7 compare_runs.py linux|windows GROUP MODULES KNOWN LAUNCHER FWPACK LIBRARY
#          LAUNCH_PY LAUNCH_PYO BARE_PYTHON SUPPORT
#   (on windows every program runs under wine; SUPPORT is '-' where the interpreter has the
#   test package itself; the bare interpreter runs LAUNCH_PY, the source of LAUNCH_PYO, since
#   a .pyo named as the program turns -OO into -O)
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading

RUN_SECONDS = 900


def read_groups(path, system):
    """{group: [module, ...]} from lines 'group: module module ...' (# starts a comment), with
    the modules written SYSTEM/MODULE of this system only."""
    groups = {}
    for line in open(path):
        line = line.split('#')[0].strip()
        if line:
            group, modules = line.split(':', 1)
            for module in modules.split():
                only, _, name = module.rpartition('/')
                if only in ('', system):
                    groups.setdefault(group.strip(), []).append(name)
    return groups


def read_known(path, system):
    """{name: (bare, launcher, reason)} for this system, from lines
    'SYSTEM NAME BARE LAUNCHER REASON...' where SYSTEM is linux, windows or both."""
    known = {}
    for number, line in enumerate(open(path), 1):
        line = line.strip()
        if not line or line.startswith('#'):
            continue
        words = line.split(None, 4)
        if len(words) < 5:
            sys.exit('%s:%d: want SYSTEM NAME BARE LAUNCHER REASON' % (path, number))
        if words[0] in (system, 'both'):
            known[words[1]] = (words[2], words[3], words[4])
    return known


def module_of(name):
    """The module of a module's or a test case's name (test.test_x.Class.test_y)."""
    return name.split('.')[1] if name.startswith('test.') else name


def host_path(system, path):
    """The path as the program under test names it (Wine's drive Z: on windows)."""
    path = os.path.abspath(path)
    return 'Z:' + path.replace('/', '\\') if system == 'windows' else path


class Run(object):
    """COMMAND started in CWD, in a process group of its own, with its output in LOG; ended
    after RUN_SECONDS."""

    def __init__(self, command, cwd, log, environment=None):
        with open(log, 'wb') as output:
            self.process = subprocess.Popen(
                command, cwd=cwd, stdout=output, stderr=subprocess.STDOUT, env=environment,
                stdin=open(os.devnull), preexec_fn=os.setsid)
        self.timer = threading.Timer(RUN_SECONDS, self.end)
        self.timer.start()

    def end(self):
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except OSError:
            pass

    def wait(self):
        status = self.process.wait()
        self.timer.cancel()
        self.end()  # what the tests left running in the group
        return status


def run(command, cwd, log):
    return Run(command, cwd, log).wait()


def parse(log):
    """{module or case: outcome}, {module: seconds} and whether the run reached its end."""
    outcomes, seconds, finished = {}, {}, False
    for line in open(log):
        words = line.split()
        if words[:1] == ['time'] and len(words) == 3:
            seconds[words[1]] = words[2]
        elif words[:1] == ['module'] and len(words) >= 3:
            outcomes[words[1]] = ' '.join(words[2:])
        elif words[:1] == ['case'] and len(words) == 4:
            outcomes[words[2]] = words[3]
        elif words == ['done']:
            finished = True
    return outcomes, seconds, finished


def main(arguments):
    (system, group, modules_file, known_file, launcher, fwpack, library, launch_py, launch_pyo,
     bare_python, support) = arguments
    launcher, fwpack, library, launch_py, launch_pyo = [
        os.path.abspath(path) for path in (launcher, fwpack, library, launch_py, launch_pyo)]
    if os.sep in bare_python:
        bare_python = os.path.abspath(bare_python)
    if support != '-':
        support = os.path.abspath(support)
    modules = read_groups(modules_file, system).get(group)
    if not modules:
        sys.exit('compare_runs: %s has no group %s' % (modules_file, group))
    known = read_known(known_file, system)
    scratch = tempfile.mkdtemp(prefix='cpython-regression-')
    try:
        return compare(system, group, modules, known, launcher, fwpack, library, launch_py,
                       launch_pyo, bare_python, support, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


class Pair(object):
    """Runs modules with the bare interpreter and inside the launcher, at once (many tests
    wait rather than compute), each attempt with logs of its own."""

    def __init__(self, system, launcher, image, launch_py, bare_python, support, scratch, work,
                 appdata):
        self.scratch = scratch
        wine = ['wine'] if system == 'windows' else []
        support_arg = support if support == '-' else host_path(system, support)
        self.bare_command = wine + [bare_python, '-OO', '-S', host_path(system, launch_py),
                                    support_arg]
        arguments = [host_path(system, launcher), 'x', host_path(system, image), 'RunTests',
                     support_arg]
        self.environment = dict(os.environ)
        if system == 'windows':
            # Wine sets the temporary folder from its own settings: cmd sets it for the run.
            settings = ''.join('set %s=%s&& ' % pair for pair in (
                ('TMP', host_path(system, os.path.dirname(work))),
                ('TEMP', host_path(system, os.path.dirname(work))),
                ('FWLAUNCH_TEST_APPDATA', host_path(system, appdata))))
            self.launched_command = lambda modules: ['wine', 'cmd', '/c', settings + ' '.join(
                arguments + modules)]
        else:
            self.environment['TMPDIR'] = os.path.dirname(work)
            self.launched_command = lambda modules: arguments + modules

    def run(self, modules, attempt):
        """The two runs' (outcomes, seconds, finished) and their logs."""
        logs = [os.path.join(self.scratch, '%s-%s.log' % (side, attempt))
                for side in ('bare', 'launched')]
        bare_run = Run(self.bare_command + modules, os.path.join(self.scratch, 'bare'), logs[0])
        launched_run = Run(self.launched_command(modules), os.path.join(self.scratch, 'launched'),
                           logs[1], self.environment)
        bare_run.wait()
        launched_run.wait()
        return parse(logs[0]), parse(logs[1]), logs


def differing(bare, launched):
    """The names whose outcomes differ, with the two outcomes."""
    names = sorted(set(bare) | set(launched))
    return [(name, bare.get(name, 'absent'), launched.get(name, 'absent')) for name in names
            if bare.get(name, 'absent') != launched.get(name, 'absent')]


def compare(system, group, modules, known, launcher, fwpack, library, launch_py, launch_pyo,
            bare_python, support, scratch):
    wine = ['wine'] if system == 'windows' else []
    work = os.path.join(scratch, 'tmp', 'QALM')
    appdata = os.path.join(scratch, 'appdata')
    for folder in (work, appdata, os.path.join(scratch, 'bare'), os.path.join(scratch, 'launched')):
        os.makedirs(folder)
    shutil.copy(library, os.path.join(work, 'Script.dll'))
    image = os.path.join(scratch, 'regression.fw')
    if run(wine + [fwpack, 'create', host_path(system, image), host_path(system, launch_pyo)],
           scratch, os.path.join(scratch, 'fwpack.log')) != 0:
        print(open(os.path.join(scratch, 'fwpack.log')).read())
        return 'fwpack could not pack the firmware'

    pair = Pair(system, launcher, image, launch_py, bare_python, support, scratch, work,
                appdata)
    (bare, bare_seconds, bare_finished), (launched, launched_seconds, launched_finished), logs = \
        pair.run(modules, 'first')
    problems = []
    if not bare_finished or not launched_finished:
        problems.append('a run did not reach its end (bare: %s, launched: %s)'
                        % (bare_finished, launched_finished))
    seen_known = set()
    unlisted = []
    for name, bare_outcome, launched_outcome in differing(bare, launched):
        if name in known and known[name][:2] == (bare_outcome, launched_outcome):
            seen_known.add(name)
            print('known difference %s: bare %s, launched %s (%s)' % ((name,) + known[name]))
        else:
            unlisted.append((name, bare_outcome, launched_outcome))
    if unlisted and not problems:
        # Some of CPython's tests depend on timing or on where memory is reused, and differ now
        # and then in either run: a difference counts when the modules show it again, run
        # once more on their own.
        again = sorted(set(module_of(name) for name, _, _ in unlisted))
        print('unlisted differences in %s: running them again' % ' '.join(again))
        (bare_again, _, _), (launched_again, _, _), _ = pair.run(again, 'again')
        still = set(name for name, _, _ in differing(bare_again, launched_again))
        for name, bare_outcome, launched_outcome in unlisted:
            if name not in still:
                print('once only: %s: bare %s, launched %s; the same in both when run again'
                      % (name, bare_outcome, launched_outcome))
        unlisted = [entry for entry in unlisted if entry[0] in still]
    problems.extend('%s: bare %s, launched %s' % entry for entry in unlisted)
    for name in sorted(known):
        if name not in seen_known and module_of(name) in modules:
            problems.append('%s is listed as a known difference (%s) but was not seen'
                            % (name, known[name][2]))

    cases = [name for name in bare if name not in modules]
    passed = [name for name in modules if bare.get(name) == 'passed']
    print('%s group %s: %d modules (%d passed bare), %d test cases compared'
          % (system, group, len(modules), len(passed), len(cases)))
    for name in modules:
        print('  %-28s bare %-16s launched %-16s %5s s %5s s'
              % (name, bare.get(name, 'absent'), launched.get(name, 'absent'),
                 bare_seconds.get(name, '-'), launched_seconds.get(name, '-')))
    for name in sorted(cases):
        if bare[name] in ('fail', 'error') and launched.get(name) == bare[name]:
            print('  the same in both runs: %s %s' % (name, bare[name]))
    if not cases:
        problems.append('no test case ran')
    if problems:
        for log in logs:
            print('--- the end of %s:' % os.path.basename(log))
            print(''.join(open(log).readlines()[-40:]))
        return 'differences:\n  ' + '\n  '.join(problems)
    return 0


if __name__ == '__main__':
    if len(sys.argv) != 12:
        sys.exit('usage: compare_runs.py linux|windows GROUP MODULES KNOWN LAUNCHER FWPACK '
                 'LIBRARY LAUNCH_PY LAUNCH_PYO BARE_PYTHON SUPPORT')
    sys.exit(main(sys.argv[1:]))
