/* Machine-dependent JNI types for 32-bit Windows, used with the jni.h of a
   JDK built for another system when cross-compiling the Windows DLL. */
#ifndef ZCV_JNI_WIN32_JNI_MD_H_
#define ZCV_JNI_WIN32_JNI_MD_H_

/* The DLL's exports, with their stdcall decorations, come from the .def
   file generated from include/exports.list; exporting here as well would
   add undecorated duplicates to the export table. */
#define JNIEXPORT
#define JNIIMPORT
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !ZCV_JNI_WIN32_JNI_MD_H_ */
