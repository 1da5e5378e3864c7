// What the C runtime's start-up installs, kept to what the launcher needs:
// the runtime's own versions would be 3.5 KB of a launcher that administrators
// push to thousands of machines.

// The runtime's record of a failed math function, declared here rather than
// through math.h, which declares the handler as one the C runtime's DLL exports.
struct _exception;

// Before the program starts, the runtime patches every place that reads data a
// DLL exports without the program declaring it imported. The launcher links so
// that it has no such place (--disable-auto-import, where this file is built:
// the link fails instead), so there is nothing to patch.
extern "C" void _pei386_runtime_relocator()
{
}

// The runtime's handler of a failed math function writes a line to standard
// error, which nobody reads of a GUI program; 0 keeps the runtime's result and
// error value as they are.
extern "C" int _matherr(struct _exception*)
{
    return 0;
}
