/* A module file whose only purpose is to carry resources for the type library tests. */
int typelib_test_module_marker(void);
int typelib_test_module_marker(void) { return 1; }
