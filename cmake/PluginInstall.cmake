# install_plugin copies the built bundle into ~/.vst3 (replacing an older copy whole, so no stale file
# survives) and the bus tool into ~/.local/bin; uninstall_plugin removes both again.

set(TONQUILL_VST3_DIR "$ENV{HOME}/.vst3" CACHE PATH "Where install_plugin puts the bundle")
set(TONQUILL_BIN_DIR "$ENV{HOME}/.local/bin" CACHE PATH "Where install_plugin puts tonquill-bus")
set(bundle_name "Tonquill FX.vst3")

add_custom_target(install_plugin
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${TONQUILL_VST3_DIR}/${bundle_name}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${TONQUILL_VST3_DIR}" "${TONQUILL_BIN_DIR}"
    COMMAND "${CMAKE_COMMAND}" -E copy_directory
            "$<TARGET_GENEX_EVAL:TonquillFX_VST3,$<TARGET_PROPERTY:TonquillFX_VST3,JUCE_PLUGIN_ARTEFACT_FILE>>"
            "${TONQUILL_VST3_DIR}/${bundle_name}"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:tonquill-bus>" "${TONQUILL_BIN_DIR}/tonquill-bus"
    COMMAND "${CMAKE_COMMAND}" -E echo "Installed ${TONQUILL_VST3_DIR}/${bundle_name} and ${TONQUILL_BIN_DIR}/tonquill-bus"
    DEPENDS TonquillFX_VST3 tonquill-bus
    VERBATIM)

add_custom_target(uninstall_plugin
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${TONQUILL_VST3_DIR}/${bundle_name}" "${TONQUILL_BIN_DIR}/tonquill-bus"
    COMMAND "${CMAKE_COMMAND}" -E echo "Removed ${TONQUILL_VST3_DIR}/${bundle_name} and ${TONQUILL_BIN_DIR}/tonquill-bus"
    VERBATIM)
