# The Qt windows (library quarvel_ui) are defined here.
