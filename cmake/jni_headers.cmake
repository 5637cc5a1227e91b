# jni.h of an installed JDK, as the interface target corvid_jni_headers.
# JAVA_HOME is asked first, then every JDK under /usr/lib/jvm; jni.h itself
# is the same on every platform. Linux takes the JDK's own jni_md.h, the
# Windows cross build ours from src/java/jni_win, since no Windows JDK is here.
set(_corvid_jni_hints)
if(DEFINED ENV{JAVA_HOME})
  list(APPEND _corvid_jni_hints "$ENV{JAVA_HOME}/include")
endif()
file(GLOB _corvid_jdk_includes LIST_DIRECTORIES true /usr/lib/jvm/*/include)
find_path(CORVID_JNI_INCLUDE_DIR jni.h
  HINTS ${_corvid_jni_hints}
  PATHS ${_corvid_jdk_includes} /usr/lib/jvm/default-java/include
  NO_CMAKE_FIND_ROOT_PATH)
if(NOT CORVID_JNI_INCLUDE_DIR)
  message(FATAL_ERROR "jni.h not found: install a JDK (Debian: openjdk-17-jdk-headless) or set JAVA_HOME")
endif()

add_library(corvid_jni_headers INTERFACE)
if(WIN32)
  target_include_directories(corvid_jni_headers SYSTEM INTERFACE
    ${PROJECT_SOURCE_DIR}/src/java/jni_win ${CORVID_JNI_INCLUDE_DIR})
else()
  target_include_directories(corvid_jni_headers SYSTEM INTERFACE
    ${CORVID_JNI_INCLUDE_DIR} ${CORVID_JNI_INCLUDE_DIR}/linux)
endif()
