// Lets a static library be declared before its subsystem adds sources.
