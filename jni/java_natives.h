// The native methods of the Java class vantor.mira.Zephyrcoilvault under
// their JNI names. Each returns the operation's result code: 1011 for a
// null StringBuffer (nothing sent), 1012 when StringBuffer.append(String)
// cannot be found; safe to call from many Java threads at once.
#pragma once

#include <jni.h>

extern "C" {

// TokenAuth2 / TokenAuth2Next: on 9999 the expiry time is appended to out.
JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenAuth2(JNIEnv* env, jclass,
                                                                   jint iCardNo, jint iDynpasswd,
                                                                   jobject out);
JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenAuth2Next(
    JNIEnv* env, jclass, jint iCardNo, jint iDynpasswd1, jint iDynpasswd2, jobject out);
// TokenBindOther / TokenBindOtherNext: on 9999 the reserved password is
// appended to out.
JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenBindOther(JNIEnv* env, jclass,
                                                                       jint iCardNo,
                                                                       jint iDynpasswd,
                                                                       jobject out);
JNIEXPORT jint JNICALL Java_vantor_mira_Zephyrcoilvault_TokenBindOtherNext(
    JNIEnv* env, jclass, jint iCardNo, jint iDynpasswd1, jint iDynpasswd2, jobject out);
}
