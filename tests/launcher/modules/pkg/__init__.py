# A package in the working folder, holding an extension module of its own.
