#!/usr/bin/env python3
"""Entry point of the Wine tier; see winetier/runner.py and scripts/wine_tier.sh."""
import sys

from winetier.runner import main

sys.exit(main())
