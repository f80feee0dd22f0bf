# Configuration shared by every JUCE target of the project.

# Debian's JUCE ships without FLAC/Ogg sources and without VST2 headers; the plug-in needs neither.
set(TONQUILL_JUCE_DEFINITIONS
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_VST3_CAN_REPLACE_VST2=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_MODAL_LOOPS_PERMITTED=0)

# Gives the plug-in's shared code its modules and settings, and makes the .so export nothing but the
# VST3 entry points.
function(tonquill_configure_plugin target)
    target_compile_definitions(${target} PUBLIC ${TONQUILL_JUCE_DEFINITIONS})
    target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${target}
        PRIVATE
            juce::juce_audio_utils
            juce::juce_gui_extra
        PUBLIC
            tonquill_voicebus
            juce::juce_recommended_config_flags
            juce::juce_recommended_warning_flags)

    target_link_options(${target}_VST3 PRIVATE
        "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/vst3-exports.map")
    set_target_properties(${target}_VST3 PROPERTIES
        LINK_DEPENDS "${PROJECT_SOURCE_DIR}/cmake/vst3-exports.map")
    if(TONQUILL_SANITIZE)
        # A sanitized .so takes the sanitizer runtime from the program that loads it.
        target_link_options(${target}_VST3 PRIVATE "LINKER:-z,undefs")
    endif()

    # Programs that link the shared code (tests, benchmarks, tools) compile against JUCE's headers
    # with exactly the shared code's macros; a mismatch would not link.
    add_library(${target}_shared INTERFACE)
    target_link_libraries(${target}_shared INTERFACE ${target} tonquill_warnings)
    target_include_directories(${target}_shared INTERFACE
        "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
    target_compile_definitions(${target}_shared INTERFACE
        "$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>")
endfunction()

# A static library holding its own build of some JUCE modules, for programs that must not share the
# plug-in's (the VST3 host needs JUCE_PLUGINHOST_VST3, which the plug-in itself has no use for).
# Consumers include the module headers directly and get the same macros as the library.
function(tonquill_add_juce_library target)
    cmake_parse_arguments(ARG "" "" "SOURCES;MODULES;DEFINITIONS" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    set(modules "")
    set(available "")
    foreach(module IN LISTS ARG_MODULES)
        list(APPEND modules juce::${module})
        list(APPEND available JUCE_MODULE_AVAILABLE_${module}=1)
    endforeach()
    target_link_libraries(${target}
        PRIVATE ${modules} juce::pkgconfig_JUCE_IMG_LINUX_DEPS # Debian's JUCE uses the system image codecs
        PUBLIC juce::juce_recommended_config_flags tonquill_warnings)
    target_compile_definitions(${target} PUBLIC
        ${TONQUILL_JUCE_DEFINITIONS} ${ARG_DEFINITIONS} ${available}
        JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1 JUCE_STANDALONE_APPLICATION=1)
    target_include_directories(${target} PUBLIC
        "$<TARGET_PROPERTY:juce::juce_core,INTERFACE_INCLUDE_DIRECTORIES>" "${PROJECT_SOURCE_DIR}")
endfunction()
