/* A program that imports msi.dll the ordinary way, through its import table: the
 * loader searches the program's folder first. It shows that a planted msi.dll there
 * is found, so that a test of the bootstrapper can trust its "not loaded". */
#include <windows.h>
#include <msi.h>

int main(void)
{
    return (int)MsiCloseHandle(0);
}
