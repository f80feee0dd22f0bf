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

    # Programs that link the shared code (tests, benchmarks, tools) compile against JUCE's headers
    # with exactly the shared code's macros; a mismatch would not link.
    add_library(${target}_shared INTERFACE)
    target_link_libraries(${target}_shared INTERFACE ${target} tonquill_warnings)
    target_include_directories(${target}_shared INTERFACE
        "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
    target_compile_definitions(${target}_shared INTERFACE
        "$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>")
endfunction()
