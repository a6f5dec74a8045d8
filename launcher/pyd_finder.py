# Python 2.7 on this platform does not look for ".pyd" files, which is what the firmware
# carries its extension modules as. This finder, put first on sys.meta_path, loads them from
# the working folder (or a package folder inside it) only. It uses built-in modules alone, so
# that it works before the standard library is reachable. The build compiles it to bytecode
# that the launcher embeds, so no run pays for parsing and compiling it.
import imp, posix, sys

class PydLoader(object):
    def __init__(self, filename):
        self.filename = filename

    def load_module(self, fullname):
        module = sys.modules.get(fullname)
        if module is not None:
            return module
        return imp.load_dynamic(fullname, self.filename)

class PydFinder(object):
    def __init__(self, folder):
        self.folder = folder

    def inside(self, folder):
        return (isinstance(folder, str) and folder.startswith(self.folder)
                and '..' not in folder.split('/'))

    def find_module(self, fullname, path=None):
        if fullname in sys.builtin_module_names:
            return None
        if path is None:
            folders = [self.folder]
        else:
            folders = [folder for folder in path if self.inside(folder)]
        tail = fullname.rpartition('.')[2]
        for folder in folders:
            candidate = folder.rstrip('/') + '/' + tail + '.pyd'
            try:
                mode = posix.stat(candidate).st_mode
            except OSError:
                continue
            if mode & 0o170000 == 0o100000:
                return PydLoader(candidate)
        return None

def install(folder):
    sys.meta_path.insert(0, PydFinder(folder))
