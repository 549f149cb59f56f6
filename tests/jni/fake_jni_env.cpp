// The fake JNI functions; every entry of the table they do not fill stays
// null, so a JNI call the bridge should not make crashes the test.
#include "fake_jni_env.h"

#include <gtest/gtest.h>

#include <cstdarg>

namespace zcv::test {
namespace {

// JNI functions are plain function pointers; they reach the fake of their
// thread, as a JVM gives each thread its own environment.
thread_local FakeJniEnv* active = nullptr;

_jobject bufferObject;
_jclass bufferClass;
_jstring madeString;
_jmethodID* const kAppendId = reinterpret_cast<_jmethodID*>(&bufferObject);

void Called(const char* name) {
  active->calls.push_back(active->pending ? std::string("PENDING ") + name : name);
}

jclass JNICALL GetObjectClass(JNIEnv*, jobject object) {
  Called("GetObjectClass");
  EXPECT_EQ(object, &bufferObject);
  return &bufferClass;
}

jmethodID JNICALL GetMethodID(JNIEnv*, jclass type, const char* name, const char* signature) {
  Called("GetMethodID");
  EXPECT_EQ(type, &bufferClass);
  active->methodName = name;
  active->methodSignature = signature;
  if (active->hasAppend) return kAppendId;
  active->pending = true;  // NoSuchMethodError
  return nullptr;
}

jstring JNICALL NewString(JNIEnv*, const jchar* chars, jsize length) {
  Called("NewString");
  if (active->newStringFails) {
    active->pending = true;  // OutOfMemoryError
    return nullptr;
  }
  active->appended.assign(reinterpret_cast<const char16_t*>(chars), length);
  return &madeString;
}

jobject JNICALL CallObjectMethodV(JNIEnv*, jobject object, jmethodID method, va_list args) {
  Called("CallObjectMethodV");
  EXPECT_EQ(object, &bufferObject);
  EXPECT_EQ(method, kAppendId);
  EXPECT_EQ(va_arg(args, jstring), &madeString);
  if (active->appendThrows) {
    active->pending = true;
    return nullptr;
  }
  return object;
}

jboolean JNICALL ExceptionCheck(JNIEnv*) {
  active->calls.push_back("ExceptionCheck");
  return active->pending ? JNI_TRUE : JNI_FALSE;
}

}  // namespace

FakeJniEnv::FakeJniEnv() {
  table_.GetObjectClass = GetObjectClass;
  table_.GetMethodID = GetMethodID;
  table_.NewString = NewString;
  table_.CallObjectMethodV = CallObjectMethodV;
  table_.ExceptionCheck = ExceptionCheck;
  env_.functions = &table_;
  active = this;
}

FakeJniEnv::~FakeJniEnv() { active = nullptr; }

jobject FakeJniEnv::buffer() { return &bufferObject; }

}  // namespace zcv::test
