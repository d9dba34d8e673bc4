// The shared library is koralink_core linked whole; this file only gives the
// target a source of its own.
