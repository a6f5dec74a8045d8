# A second firmware module, imported by Launch from the working folder.


def double(value):
    return 2 * value
