/* Top-level window lookup by class: USER32's on Windows; the portable build
 * has no windows. */
#ifndef QV_PLATFORM_WINDOW_H
#define QV_PLATFORM_WINDOW_H

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when a top-level window of the class exists, else 0. */
int WindowClassExists(const char *class_name);

#ifdef __cplusplus
}
#endif

#endif
