class Third { # };
