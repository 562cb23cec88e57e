# Exported dates are local times: pin the zone so the expected files hold.
set_property(TEST test_callhistorypage APPEND PROPERTY ENVIRONMENT "TZ=UTC")
