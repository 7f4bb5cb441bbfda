// The shipped library. Its exported entry points are defined with the device
// watch window; until then it carries the core and exports nothing.
