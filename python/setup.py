# Builds the lkmdb7 package: the library's sources and the binding compiled into one extension
# (lkmdb7._lkmdb7), so the package needs no installed liblkmdb7, beside its type stubs. Linux only.
#   pip install --no-build-isolation ./python
import re
import sys
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
if not sys.platform.startswith("linux"):
    sys.exit("the lkmdb7 module builds on Linux only")

# The project's version, as CMake reads it, makes lkmdb7/Version.h.
version = re.search(r"project\(lkmdb7 VERSION (\d+)\.(\d+)\.(\d+)",
                    (ROOT / "CMakeLists.txt").read_text()).groups()
generated = HERE / "build" / "generated"
header = (ROOT / "cmake" / "Version.h.in").read_text()
for name, value in zip(("MAJOR", "MINOR", "PATCH"), version):
    header = header.replace(f"@PROJECT_VERSION_{name}@", value)
(generated / "lkmdb7").mkdir(parents=True, exist_ok=True)
target = generated / "lkmdb7" / "Version.h"
if not target.exists() or target.read_text() != header:
    target.write_text(header)

# The package's description is the README's section on it.
readme = re.search(r"^## Python\n(.*?)(?=^## )", (ROOT / "README.md").read_text(),
                   re.MULTILINE | re.DOTALL).group(1)

library = sorted(
    str(p) for p in (ROOT / "lkmdb7").rglob("*.cpp") if "win32" not in p.relative_to(ROOT).parts)
binding = sorted(str(p) for p in (HERE / "src").glob("*.cpp"))

ParallelCompile("LKMDB7_BUILD_JOBS", default=2).install()

setup(
    name="lkmdb7",
    version=".".join(version),
    description="Python module of the Lockmera7DB storage engine",
    long_description=readme,
    long_description_content_type="text/markdown",
    license="Proprietary",
    classifiers=[
        "Development Status :: 4 - Beta",
        "Intended Audience :: Developers",
        "License :: Other/Proprietary License",
        "Operating System :: POSIX :: Linux",
        "Programming Language :: C++",
        "Programming Language :: Python :: 3",
        "Programming Language :: Python :: 3 :: Only",
        "Topic :: Security",
        "Topic :: Database",
        "Typing :: Typed",
    ],
    packages=["lkmdb7"],
    package_data={"lkmdb7": ["py.typed", "*.pyi"]},
    ext_modules=[
        Pybind11Extension(
            "lkmdb7._lkmdb7",
            library + binding,
            include_dirs=[str(ROOT), str(generated)],
            define_macros=[("LKMDB7_BUILDING", None)],
            cxx_std=20,
            extra_link_args=["-pthread"],
        )
    ],
    cmdclass={"build_ext": build_ext},
    zip_safe=False,
    python_requires=">=3.9",
)
