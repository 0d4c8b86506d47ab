# easylogging++ ships as a header plus one source file that every program compiles in.
find_path(EASYLOGGINGPP_INCLUDE_DIR easylogging++.h REQUIRED)
find_file(EASYLOGGINGPP_SOURCE easylogging++.cc PATHS ${EASYLOGGINGPP_INCLUDE_DIR} NO_DEFAULT_PATH REQUIRED)

add_library(easyloggingpp STATIC ${EASYLOGGINGPP_SOURCE})
target_include_directories(easyloggingpp SYSTEM PUBLIC ${EASYLOGGINGPP_INCLUDE_DIR})
target_link_libraries(easyloggingpp PUBLIC Qt5::Core)
set_target_properties(easyloggingpp PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_compile_definitions(easyloggingpp
    PRIVATE AUTO_INITIALIZE_EASYLOGGINGPP QT_DISABLE_DEPRECATED_BEFORE=0x050F00
    PUBLIC
        ELPP_QT_LOGGING
        ELPP_THREAD_SAFE
        # Until the log is configured nothing should land in a stray "logs/" folder.
        ELPP_NO_DEFAULT_LOG_FILE
        # Crash handling belongs to the platform (and to the sanitizers in the test builds).
        ELPP_DISABLE_DEFAULT_CRASH_HANDLING)
# Its header still names QLinkedList, which our Qt settings disable: a declaration stands in.
target_compile_options(easyloggingpp PUBLIC
    "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/easylogging/QLinkedListDeclaration.h")
if(QUIVER_SANITIZE)
    target_compile_options(easyloggingpp PRIVATE -fsanitize=address,undefined)
endif()
