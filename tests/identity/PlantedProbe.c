/* A library someone planted in the current folder under the probe library's name. Loading it runs its constructor,
 * which leaves a marker file in the current folder: the test then knows that the program took it. */
#include <stdio.h>

__attribute__((constructor)) static void plantedLibraryLoaded(void)
{
    FILE* marker = fopen("planted-library-ran", "w");
    if (marker) {
        fclose(marker);
    }
}
