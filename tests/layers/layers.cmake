# What each layer's code can include, checked by the build itself: for every layer, a small
# file compiled with exactly that layer's include roots asks, header by header, which other
# layers it can reach. A layer that can see one above it, or a source that can see the source
# beside it, fails the build.
set(HV_LAYERS hv_base hv_wave hv_ks hv_endpoints hv_store hv_inventory hv_checks hv_fixes hv_report hv_app)
# One header of each layer.
set(HV_LAYER_HEADER_hv_base base/device_record.h)
set(HV_LAYER_HEADER_hv_wave sources/wave/wave_devices.h)
set(HV_LAYER_HEADER_hv_ks sources/ks/ks_interfaces.h)
set(HV_LAYER_HEADER_hv_endpoints sources/endpoints/audio_endpoints.h)
set(HV_LAYER_HEADER_hv_store sources/store/endpoint_store.h)
set(HV_LAYER_HEADER_hv_inventory inventory/device_inventory.h)
set(HV_LAYER_HEADER_hv_checks checks/driver_checks.h)
set(HV_LAYER_HEADER_hv_fixes fixes/fix_plan.h)
set(HV_LAYER_HEADER_hv_report report/checker_run.h)
set(HV_LAYER_HEADER_hv_app app/app_state.h)
# What each layer may see besides itself.
set(HV_LAYER_BELOW_hv_base)
set(HV_LAYER_BELOW_hv_wave hv_base)
set(HV_LAYER_BELOW_hv_ks hv_base)
set(HV_LAYER_BELOW_hv_endpoints hv_base)
set(HV_LAYER_BELOW_hv_store hv_base)
set(HV_LAYER_BELOW_hv_inventory hv_base hv_wave hv_ks hv_endpoints hv_store)
set(HV_LAYER_BELOW_hv_checks ${HV_LAYER_BELOW_hv_inventory} hv_inventory)
set(HV_LAYER_BELOW_hv_fixes ${HV_LAYER_BELOW_hv_checks} hv_checks)
set(HV_LAYER_BELOW_hv_report ${HV_LAYER_BELOW_hv_fixes} hv_fixes)
set(HV_LAYER_BELOW_hv_app ${HV_LAYER_BELOW_hv_report} hv_report)

foreach(layer ${HV_LAYERS})
  set(text "// Generated: what the ${layer} layer can include.\n")
  foreach(other ${HV_LAYERS})
    set(header ${HV_LAYER_HEADER_${other}})
    if(other STREQUAL layer OR other IN_LIST HV_LAYER_BELOW_${layer})
      string(APPEND text "#if !__has_include(\"${header}\")\n#error \"${layer} cannot reach ${header} below it\"\n#endif\n")
    else()
      string(APPEND text "#if __has_include(\"${header}\")\n#error \"${layer} can reach ${header}, which is not below it\"\n#endif\n")
    endif()
  endforeach()
  set(probe ${CMAKE_CURRENT_BINARY_DIR}/layer_view_${layer}.cpp)
  file(GENERATE OUTPUT ${probe} CONTENT "${text}")
  add_library(layer_view_${layer} OBJECT ${probe})
  target_link_libraries(layer_view_${layer} PRIVATE ${layer})
endforeach()

# A planted include that points up a layer (the shared pieces reaching into the application),
# and its control pointing down: the first must not build, the second must.
add_library(planted_upward_include OBJECT EXCLUDE_FROM_ALL layers/planted_upward_include.cpp)
target_link_libraries(planted_upward_include PRIVATE hv_base)
add_library(planted_downward_include OBJECT EXCLUDE_FROM_ALL layers/planted_downward_include.cpp)
target_link_libraries(planted_downward_include PRIVATE hv_app)
add_test(NAME layers_refuse_upward_includes
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/layers/check_layers.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
