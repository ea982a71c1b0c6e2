"""Requests of the server's trace put to the programs that made them."""
import unittest

import requests

# The runner (started from Unix, thread 0024 of process 0020) starts
# SETUP.EXE (process 0040), which starts a second thread; Wine's own
# explorer.exe (process 0060) makes requests in between.
TRACE = r"""wineserver: starting (pid=1)
0024: init_first_thread( unix_pid=10, unix_tid=10, debug_level=0, reply_fd=7, wait_fd=9 )
0024: init_first_thread() = 0 { pid=0020, tid=0024, server_start=1 (-1.0), session_id=00000001 }
0024: find_window( parent=0000 )
0024: new_process( token=0000, info={curdir=L"Z:\\m\\",imagepath=L"Z:\\m\\SETUP.EXE",cmdline=L"x"}, env=L"" )
0024: new_process() = 0 { info=0010, pid=0040, handle=0014 }
0024: new_process( token=0000, info={imagepath=L"C:\\windows\\system32\\explorer.exe"}, env=L"" )
0024: new_process() = 0 { info=0018, pid=0060, handle=001c }
0044: init_first_thread( unix_pid=11, unix_tid=11, debug_level=0, reply_fd=7, wait_fd=9 )
0044: init_first_thread() = 0 { pid=0040, tid=0044, server_start=1 (-1.0), session_id=00000001 }
0064: init_first_thread( unix_pid=12, unix_tid=12, debug_level=0, reply_fd=7, wait_fd=9 )
0064: init_first_thread() = 0 { pid=0060, tid=0064, server_start=1 (-1.0), session_id=00000001 }
0044: *fd* 7 <- 23
0044: get_update_region( window=00010020, from_child=00000000, flags=00000006 )
0064: get_message( flags=00000000 )
0044: get_update_region() = 0 { child=00000000, flags=00000000, total_size=0, region={} }
0044: new_thread( process=ffffffff, access=001fffff, flags=00000000, request_fd=-1, objattr={} )
0044: new_thread() = 0 { tid=0048, handle=0050 }
0048: init_thread( unix_tid=13, reply_fd=12, wait_fd=14, teb=003d2000, entry=00a06ce0 )
0048: init_thread() = 0 { suspend=0 }
0048: get_update_region( window=00010020, from_child=00000000, flags=00000006 )
0044: close_handle( handle=0050 )
0024: find_window( parent=0000 )
"""


class TraceTest(unittest.TestCase):
    def test_only_the_started_programs_and_all_their_threads_count(self):
        programs = requests.read(TRACE.splitlines()).programs()
        self.assertEqual(len(programs), 1)
        image, total, names = programs[0]
        self.assertEqual(image, "Z:\\m\\SETUP.EXE")
        self.assertEqual(total, 6)
        self.assertEqual(dict(names), {"init_first_thread": 1, "get_update_region": 2, "new_thread": 1,
                                       "init_thread": 1, "close_handle": 1})

    def test_a_thread_id_used_again_belongs_to_its_new_process(self):
        again = TRACE + (
            "0044: init_first_thread( unix_pid=20, unix_tid=20, debug_level=0, reply_fd=7, wait_fd=9 )\n"
            "0044: init_first_thread() = 0 { pid=0080, tid=0044, server_start=1 (-1.0), session_id=00000001 }\n"
            "0044: close_handle( handle=0004 )\n")
        programs = requests.read(again.splitlines()).programs()
        self.assertEqual(programs[0][1], 6)


if __name__ == "__main__":
    unittest.main()
