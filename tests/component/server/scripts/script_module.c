/* A module that only carries registration scripts as resources. */
int script_module_marker(void);
int script_module_marker(void)
{
    return 1;
}
