/* Machine-dependent JNI types for Windows, 32- and 64-bit alike (long is 32
   bits on both; x64 ignores __stdcall), used with the jni.h of a JDK built
   for another system when cross-compiling the Windows DLLs. */
#ifndef ZCV_JNI_WIN32_JNI_MD_H_
#define ZCV_JNI_WIN32_JNI_MD_H_

/* The DLL's exports (with their stdcall decorations on 32-bit Windows) come
   from the .def file generated from include/exports.list; exporting here as
   well would add undecorated duplicates to the export table. */
#define JNIEXPORT
#define JNIIMPORT
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !ZCV_JNI_WIN32_JNI_MD_H_ */
