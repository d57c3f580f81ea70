/*
 * Resource numbers shared by the gallery's resource script and its code.
 */
#ifndef KWGALLERY_RESOURCE_H
#define KWGALLERY_RESOURCE_H

/* The face of the bitmap button: a folder on the key colour. */
#define IDB_FOLDER 101

#endif
